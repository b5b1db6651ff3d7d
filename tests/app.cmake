# Main window, its Qt adapters and the executable.
kd36_qtest(qt_view_test SOURCES app/qt_view_test.cpp LIBS kd36_adapters)
if(TARGET kd36_app)
  kd36_qtest(main_form_test SOURCES app/main_form_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
if(TARGET kd36_app)
  kd36_qtest(restart_access_test SOURCES app/restart_access_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
# The air monitor with the display library loaded at run time (doubles and the real one).
if(TARGET kd36_app)
  kd36_qtest(air_monitor_library_test SOURCES app/air_monitor_library_test.cpp LIBS kd36_app)
  add_dependencies(air_monitor_library_test analyze32 fake_analyze32 fake_analyze32_nocontrol)
  target_compile_definitions(air_monitor_library_test PRIVATE
    ANALYZE32_PATH="$<TARGET_FILE:analyze32>"
    FAKE_ANALYZE32_PATH="$<TARGET_FILE:fake_analyze32>"
    FAKE_ANALYZE32_NOCONTROL_PATH="$<TARGET_FILE:fake_analyze32_nocontrol>")
  # The main window against the simulated modem, through its widgets.
  kd36_qtest(end_to_end_widget_test SOURCES app/end_to_end_widget_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
  add_dependencies(end_to_end_widget_test analyze32)
  target_compile_definitions(end_to_end_widget_test PRIVATE ANALYZE32_PATH="$<TARGET_FILE:analyze32>")
endif()
# Hostile line input and settings files; runs the real program under signals.
if(TARGET kd36_app)
  kd36_qtest(hostile_input_test SOURCES app/hostile_input_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
  add_dependencies(hostile_input_test kd36setup)
  target_compile_definitions(hostile_input_test PRIVATE KD36SETUP_PATH="$<TARGET_FILE:kd36setup>")
endif()
# The window and its receive thread on the real clock: close and shutdown
# while the thread is busy, and the reply timers.
if(TARGET kd36_app)
  kd36_qtest(window_thread_test SOURCES app/window_thread_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
# The session log and settings profiles through the main window.
if(TARGET kd36_app)
  kd36_qtest(records_widget_test SOURCES app/records_widget_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
if(TARGET kd36_app)
  kd36_qtest(session_log_writer_test SOURCES app/session_log_writer_test.cpp LIBS kd36_app)
endif()
# The main window through a real ser2net (skipped when it is not installed).
if(TARGET kd36_app)
  kd36_qtest(network_window_test SOURCES app/network_window_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_line_peers kd36_sim LABELS network)
endif()
if(TARGET kd36_app)
  kd36_gtest(port_pins_test SOURCES app/port_pins_test.cpp LIBS kd36_app)
endif()
# Every window with the default fonts: captions fit, accessible names follow
# them; in Japanese and again in English (the locale picks the language).
if(TARGET kd36_app)
  kd36_qtest(window_text_test SOURCES app/window_text_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             ${CMAKE_BINARY_DIR}/app/bitmaps.qrc
             LIBS kd36_app kd36_sim)
  add_test(NAME window_text_test_english COMMAND window_text_test)
  set_tests_properties(window_text_test_english PROPERTIES LABELS widget TIMEOUT 300
    ENVIRONMENT "${KD36_TEST_ENV};LANG=en_US.UTF-8")
  # Every window in English: no Japanese left but the modem's data.
  kd36_qtest(english_walk_test SOURCES app/english_walk_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
  add_dependencies(english_walk_test analyze32)
  target_compile_definitions(english_walk_test PRIVATE ANALYZE32_PATH="$<TARGET_FILE:analyze32>")
  set_tests_properties(english_walk_test PROPERTIES ENVIRONMENT "${KD36_TEST_ENV};LANG=en_US.UTF-8")
endif()
