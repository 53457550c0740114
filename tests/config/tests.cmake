# The parameter-file checker on the example file: it must load and list
# every station.
add_test(NAME qz_par_check_demo COMMAND qz-par check ${PROJECT_SOURCE_DIR}/examples/demo.par)
set_tests_properties(qz_par_check_demo PROPERTIES LABELS config
  PASS_REGULAR_EXPRESSION "OK, 5 station\\(s\\).*Station 5: address 14")
add_test(NAME qz_par_check_demo_json COMMAND qz-par check --json ${PROJECT_SOURCE_DIR}/examples/demo.par)
set_tests_properties(qz_par_check_demo_json PROPERTIES LABELS config
  PASS_REGULAR_EXPRESSION "\"ok\":true.*\"warnings\":\\[\\]")
