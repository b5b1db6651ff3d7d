# Answer-back and packet exchange: engine halves and the dialog logic.
kd36_gtest(test_packet_engine SOURCES packet/answer_back_test.cpp packet/packet_test.cpp LABELS unit)
# The dialogs themselves, offscreen. KD36_SHOT_DIR=/some/dir saves screenshots.
kd36_qtest(test_packet_dialogs SOURCES packet/dialogs_test.cpp LIBS kd36_adapters)
