# The soak: soak_host runs a host against the simulator for as long as
# scripts/soak.sh asks; test_soak checks its fault scripts and figures.
set(QZ_SOAK_PARTS
  ${CMAKE_CURRENT_LIST_DIR}/fault_script.cpp
  ${CMAKE_CURRENT_LIST_DIR}/process_figures.cpp
  ${CMAKE_CURRENT_LIST_DIR}/soak_items.cpp)
add_executable(soak_host ${CMAKE_CURRENT_LIST_DIR}/soak_main.cpp ${QZ_SOAK_PARTS})
target_link_libraries(soak_host PRIVATE qztestsupport ${CMAKE_DL_LIBS})
target_compile_definitions(soak_host PRIVATE
  QZ_DRIVER_PATH="$<TARGET_FILE:qzdrk485>"
  QZ_SIM_PATH="$<TARGET_FILE:qz-sim>")
add_dependencies(soak_host qzdrk485 qz-sim)
qz_warnings(soak_host)
if(TARGET test_soak)
  target_sources(test_soak PRIVATE ${QZ_SOAK_PARTS})
  target_link_libraries(test_soak PRIVATE qzsim)
endif()
