# What `cmake --install` puts under the prefix: the driver library and its
# header, a CMake package (find_package(qzdrk485), target qzdrk485::qzdrk485)
# and a pkg-config file (component "library"), and the tools (component
# "tools").
include(CMakePackageConfigHelpers)

set(QZ_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/qzdrk485)

install(TARGETS qzdrk485 EXPORT qzdrk485Targets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library NAMELINK_COMPONENT library
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT library
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT library)
install(FILES ${PROJECT_SOURCE_DIR}/include/qzdrk485.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT library)
install(EXPORT qzdrk485Targets NAMESPACE qzdrk485:: DESTINATION ${QZ_CMAKE_PACKAGE_DIR} COMPONENT library)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/qzdrk485Config.cmake.in
  ${PROJECT_BINARY_DIR}/qzdrk485Config.cmake INSTALL_DESTINATION ${QZ_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/qzdrk485ConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/qzdrk485Config.cmake ${PROJECT_BINARY_DIR}/qzdrk485ConfigVersion.cmake
  DESTINATION ${QZ_CMAKE_PACKAGE_DIR} COMPONENT library)

# The .pc file finds the prefix from where it lies, so that it holds under
# any --prefix given at install time.
set(QZ_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE ${QZ_PC_DIR})
  set(QZ_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
else()
  file(RELATIVE_PATH QZ_PC_UP /root/${QZ_PC_DIR} /root)
  set(QZ_PC_PREFIX "\${pcfiledir}/${QZ_PC_UP}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/qzdrk485.pc.in ${PROJECT_BINARY_DIR}/qzdrk485.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/qzdrk485.pc DESTINATION ${QZ_PC_DIR} COMPONENT library)

foreach(tool qz-par qz-sim qz-host qz-hdb qz-cuc qz-log)
  if(TARGET ${tool})
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  endif()
endforeach()
foreach(page tools/qz-par/README.md tools/qz-sim/README.md README.md CHANGELOG.md)
  if(EXISTS ${PROJECT_SOURCE_DIR}/${page})
    get_filename_component(folder ${page} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${page} DESTINATION ${CMAKE_INSTALL_DOCDIR}/${folder} COMPONENT tools)
  endif()
endforeach()
