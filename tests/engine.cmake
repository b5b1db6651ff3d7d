kd36_gtest(test_engine_text SOURCES engine/text_rules_test.cpp engine/records_file_test.cpp LABELS unit)
kd36_gtest(test_engine_main SOURCES engine/main_window_test.cpp engine/transmit_test.cpp
  engine/response_parser_test.cpp engine/settings_sequencer_test.cpp engine/air_monitor_test.cpp
  engine/develop_terminal_test.cpp engine/settings_profile_test.cpp
  engine/session_log_test.cpp LABELS unit)
kd36_gtest(test_engine_e2e SOURCES engine/end_to_end_test.cpp engine/range_run_test.cpp LIBS kd36_headless LABELS unit)
