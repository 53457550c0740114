# The readers' tests link their library, run the tools themselves and,
# for the files the driver writes, start the station simulator.
if(TARGET test_tools)
  target_link_libraries(test_tools PRIVATE qzreaders)
  target_compile_definitions(test_tools PRIVATE
    QZ_SIM_PATH="$<TARGET_FILE:qz-sim>"
    QZ_HDB_TOOL="$<TARGET_FILE:qz-hdb>"
    QZ_CUC_TOOL="$<TARGET_FILE:qz-cuc>"
    QZ_LOG_TOOL="$<TARGET_FILE:qz-log>")
  add_dependencies(test_tools qz-sim qz-hdb qz-cuc qz-log)
endif()
