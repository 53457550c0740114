# One static library per subsystem of the driver. A subsystem sees its own
# headers and those of the subsystems it links, nothing else: each library
# exposes an include root that holds only its own folder, so an include that
# runs up a layer does not compile. Every header is also compiled on its own
# in its subsystem's context, so a header cannot hide such an include either.
#
#   host -> engine -> protocol -> history -> config -> diag
#           engine -> serial -> config
#           engine -> history

set(QZ_INCLUDE_ROOTS ${CMAKE_CURRENT_BINARY_DIR}/include-roots)

# The platform's own files: *_posix.cpp here, *_win32.cpp on Windows.
function(qz_platform_filter out)
  set(files ${ARGN})
  if(WIN32)
    list(FILTER files EXCLUDE REGEX ".*_posix\\.(cpp|h)$")
  else()
    list(FILTER files EXCLUDE REGEX ".*_win32\\.(cpp|h)$")
  endif()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# An include root of the subsystem: <root>/<name> links to src/<name>.
function(qz_include_root name out)
  set(root ${QZ_INCLUDE_ROOTS}/${name})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${name})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/src/${name} ${root}/${name} SYMBOLIC)
  endif()
  set(${out} ${root} PARENT_SCOPE)
endfunction()

# Compiles each header of the subsystem alone, with only what the
# subsystem may see.
function(qz_header_check name)
  file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}/src
    ${CMAKE_CURRENT_SOURCE_DIR}/src/${name}/*.h)
  qz_platform_filter(headers ${headers})
  set(units)
  foreach(header ${headers})
    string(MAKE_C_IDENTIFIER ${header} id)
    set(unit ${CMAKE_CURRENT_BINARY_DIR}/header-check/${id}.cpp)
    if(NOT EXISTS ${unit})
      file(WRITE ${unit} "#include \"${header}\"\n")
    endif()
    list(APPEND units ${unit})
  endforeach()
  if(units)
    add_library(qz_${name}_headers OBJECT ${units})
    target_link_libraries(qz_${name}_headers PRIVATE qz_${name})
    qz_warnings(qz_${name}_headers)
    set_property(GLOBAL APPEND PROPERTY QZ_HEADER_CHECKS qz_${name}_headers)
  endif()
endfunction()

# qz_subsystem(NAME [LINKS subsystem...] [LIBS library...])
function(qz_subsystem name)
  cmake_parse_arguments(ARG "" "" "LINKS;LIBS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/src/${name}/*.cpp)
  list(FILTER sources EXCLUDE REGEX ".*/host/exports\\.cpp$")
  qz_platform_filter(sources ${sources})
  add_library(qz_${name} STATIC ${sources})
  qz_include_root(${name} root)
  target_include_directories(qz_${name} PUBLIC $<BUILD_INTERFACE:${root}>)
  foreach(below ${ARG_LINKS})
    target_link_libraries(qz_${name} PUBLIC qz_${below})
  endforeach()
  if(ARG_LIBS)
    target_link_libraries(qz_${name} PUBLIC ${ARG_LIBS})
  endif()
  qz_warnings(qz_${name})
  qz_header_check(${name})
endfunction()
