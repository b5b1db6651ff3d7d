# kd36ctl run as a process against the built-in simulator and pty peers.
if(TARGET kd36ctl)
  kd36_gtest(test_kd36ctl SOURCES ctl/kd36ctl_test.cpp
    LIBS kd36_host kd36_ctlview kd36_line_peers kd36_sim Qt6::Core LABELS unit)
  target_compile_definitions(test_kd36ctl PRIVATE KD36CTL="$<TARGET_FILE:kd36ctl>"
    KD36SETUP="$<TARGET_FILE:kd36setup>" KD36_RESOURCES="${CMAKE_SOURCE_DIR}/resources")
  add_dependencies(test_kd36ctl kd36ctl kd36setup)
endif()
# kd36ctl through a real ser2net (skipped when it is not installed).
if(TARGET kd36ctl)
  kd36_gtest(test_kd36ctl_network SOURCES ctl/kd36ctl_network_test.cpp
    LIBS kd36_line_peers kd36_sim Qt6::Core LABELS network)
  target_compile_definitions(test_kd36ctl_network PRIVATE KD36CTL="$<TARGET_FILE:kd36ctl>")
  add_dependencies(test_kd36ctl_network kd36ctl)
endif()
# kd36ctl's bash completion, sourced into bash as the shell does.
if(TARGET kd36ctl)
  add_test(NAME kd36ctl_completion
    COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/ctl/completion_test.sh
            ${CMAKE_SOURCE_DIR}/packaging/completion/kd36ctl.bash $<TARGET_FILE_DIR:kd36ctl>)
  set_tests_properties(kd36ctl_completion PROPERTIES LABELS unit)
endif()

# Everything kd36ctl prints for each command on the simulator, against the
# transcript kept beside the script.
if(TARGET kd36ctl)
  add_test(NAME kd36ctl_transcript
           COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/ctl/transcript_test.sh $<TARGET_FILE:kd36ctl>)
  set_tests_properties(kd36ctl_transcript PROPERTIES LABELS unit TIMEOUT 300 ENVIRONMENT "${KD36_TEST_ENV}")
endif()

# What watch prints, against the simulated modem on a virtual clock.
kd36_gtest(test_ctl_watch SOURCES ctl/watch_test.cpp LIBS kd36_headless kd36_ctlview Qt6::Core LABELS unit)
