# The install tree as a host project uses it: find_package, the imported
# target, the versioned library and the pkg-config file.
# A sanitizer build's library needs its runtime loaded first, which a plain
# consumer does not do.
if(QZ_ASAN OR QZ_TSAN)
  return()
endif()
add_test(NAME install_tree_consumer
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/run_install_test.sh ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_LIST_DIR}/consumer
          ${CMAKE_CXX_COMPILER})
set_tests_properties(install_tree_consumer PROPERTIES LABELS install)
