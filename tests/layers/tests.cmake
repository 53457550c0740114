# The layers hold: a file of a subsystem that includes a header of a
# subsystem above it, or beside it, does not compile. Each probe is a one-line
# unit built in the subsystem's context; it must fail on exactly that
# include. The last probe includes a header from below and must build.

set(QZ_LAYER_PROBES
  "diag|config/driver_config.h|reject"
  "config|history/history_query.h|reject"
  "history|protocol/answer_decoding.h|reject"
  "history|engine/request_queue.h|reject"
  "serial|engine/engine_state.h|reject"
  "serial|protocol/framing.h|reject"
  "protocol|engine/engine_state.h|reject"
  "protocol|serial/serial_line.h|reject"
  "engine|host/driver_state.h|reject"
  "engine|host/queue_requests.h|reject"
  "engine|protocol/framing.h|accept")

foreach(probe ${QZ_LAYER_PROBES})
  string(REPLACE "|" ";" fields ${probe})
  list(GET fields 0 from)
  list(GET fields 1 header)
  list(GET fields 2 outcome)
  string(MAKE_C_IDENTIFIER "${from}_${header}" id)
  set(unit ${CMAKE_CURRENT_BINARY_DIR}/layer-probes/${id}.cpp)
  file(WRITE ${unit} "#include \"${header}\"\n")
  add_library(layer_probe_${id} OBJECT EXCLUDE_FROM_ALL ${unit})
  target_link_libraries(layer_probe_${id} PRIVATE qz_${from})
  add_test(NAME layers.${from}.${outcome}.${header}
    COMMAND ${CMAKE_COMMAND} --build ${PROJECT_BINARY_DIR} --target layer_probe_${id})
  # Probes share the build tree: one at a time.
  set_tests_properties(layers.${from}.${outcome}.${header} PROPERTIES LABELS layers RESOURCE_LOCK build_tree)
  if(outcome STREQUAL "reject")
    set_tests_properties(layers.${from}.${outcome}.${header} PROPERTIES
      PASS_REGULAR_EXPRESSION "${header}: No such file|'${header}' file not found")
  endif()
endforeach()
