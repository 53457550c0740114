# The line tests run the driver library against the station simulator.
if(TARGET test_line)
  target_compile_definitions(test_line PRIVATE QZ_SIM_PATH="$<TARGET_FILE:qz-sim>")
  add_dependencies(test_line qz-sim)
endif()
