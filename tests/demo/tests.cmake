# The demo command and the host harness against the simulator, end to end.
find_program(QZ_PYTHON3 python3)
if(QZ_PYTHON3)
  foreach(mode values sleep commands)
    add_test(NAME demo_${mode}
             COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/run_demo_test.sh ${mode} ${PROJECT_BINARY_DIR})
    set_tests_properties(demo_${mode} PROPERTIES LABELS demo TIMEOUT 120 RUN_SERIAL TRUE)
  endforeach()
endif()
