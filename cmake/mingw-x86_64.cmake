# Cross build for 64-bit Windows with mingw-w64 (tests under Wine).
# The posix thread model gives the standard library its threads and mutexes.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QZ_MINGW_TRIPLET x86_64-w64-mingw32)

find_program(CMAKE_CXX_COMPILER NAMES ${QZ_MINGW_TRIPLET}-g++-posix ${QZ_MINGW_TRIPLET}-g++ REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${QZ_MINGW_TRIPLET}-gcc-posix ${QZ_MINGW_TRIPLET}-gcc)
find_program(CMAKE_RC_COMPILER NAMES ${QZ_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QZ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
