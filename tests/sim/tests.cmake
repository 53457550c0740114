# The simulator's tests link its station library and start the program itself.
target_link_libraries(test_sim PRIVATE qzsim)
target_compile_definitions(test_sim PRIVATE QZ_SIM_PATH="$<TARGET_FILE:qz-sim>" QZ_PROJECT_VERSION="${PROJECT_VERSION}")
add_dependencies(test_sim qz-sim)
