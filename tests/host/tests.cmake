# The host-side integration tests start the station simulator themselves.
if(TARGET test_host)
  target_compile_definitions(test_host PRIVATE QZ_SIM_PATH="$<TARGET_FILE:qz-sim>")
  add_dependencies(test_host qz-sim)
endif()
