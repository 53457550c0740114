# CLI11 and nlohmann-json: header-only Debian packages under /usr/include
# that the tools use (the driver library uses neither). The tools see only
# those two folders, linked into a folder of their own, so that a mingw
# build does not pick up the build machine's other headers from
# /usr/include.
set(QZ_TOOL_HEADERS_FROM /usr/include CACHE PATH "Where CLI/ and nlohmann/ are installed")
set(QZ_TOOL_HEADERS_DIR ${CMAKE_BINARY_DIR}/tool-headers)

foreach(dir CLI nlohmann)
  if(NOT EXISTS ${QZ_TOOL_HEADERS_FROM}/${dir})
    message(FATAL_ERROR "${QZ_TOOL_HEADERS_FROM}/${dir} missing: install libcli11-dev and nlohmann-json3-dev")
  endif()
  if(NOT EXISTS ${QZ_TOOL_HEADERS_DIR}/${dir})
    file(MAKE_DIRECTORY ${QZ_TOOL_HEADERS_DIR})
    file(CREATE_LINK ${QZ_TOOL_HEADERS_FROM}/${dir} ${QZ_TOOL_HEADERS_DIR}/${dir} SYMBOLIC)
  endif()
endforeach()

add_library(qz_tool_headers INTERFACE)
target_include_directories(qz_tool_headers SYSTEM INTERFACE ${QZ_TOOL_HEADERS_DIR})

function(qz_tool_headers target)
  target_link_libraries(${target} PUBLIC qz_tool_headers)
endfunction()
