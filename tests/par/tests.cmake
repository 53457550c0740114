# The checker's tests link its library and run the program itself.
target_link_libraries(test_par PRIVATE qzpar)
target_compile_definitions(test_par PRIVATE QZ_PAR_PATH="$<TARGET_FILE:qz-par>" QZ_PROJECT_VERSION="${PROJECT_VERSION}")
add_dependencies(test_par qz-par)
