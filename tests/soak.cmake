# Long mixed runs against the simulated modem with its fault knobs on.
kd36_gtest(soak_test SOURCES soak/soak_test.cpp soak/soak_rig.h LIBS kd36_headless LABELS soak slow)
set_tests_properties(soak_test PROPERTIES TIMEOUT 240)
