# What the mingw-w64 toolchain files share; they set CMAKE_SYSTEM_PROCESSOR
# and QZ_MINGW_TRIPLET first. The posix thread model gives the standard
# library its threads and mutexes.

find_program(CMAKE_CXX_COMPILER NAMES ${QZ_MINGW_TRIPLET}-g++-posix ${QZ_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${QZ_MINGW_TRIPLET}-gcc-posix ${QZ_MINGW_TRIPLET}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${QZ_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QZ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
