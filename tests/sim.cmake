kd36_gtest(test_sim SOURCES sim/commands_test.cpp sim/line_test.cpp sim/sim_fixture.h LIBS kd36_sim LABELS unit)
