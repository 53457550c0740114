# Replays the checked-in corpus of the answer fuzz target as a plain test.
add_executable(fuzz_answer_replay
  ${PROJECT_SOURCE_DIR}/fuzz/answer_fuzz.cpp
  ${PROJECT_SOURCE_DIR}/fuzz/answer_replay_main.cpp)
target_link_libraries(fuzz_answer_replay PRIVATE qzcore)
qz_warnings(fuzz_answer_replay)
add_test(NAME fuzz_answer_replay
  COMMAND fuzz_answer_replay ${PROJECT_SOURCE_DIR}/fuzz/corpus/answer)
set_tests_properties(fuzz_answer_replay PROPERTIES LABELS protocol)
