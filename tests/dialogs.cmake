# Port properties dialog and settings file. The sources are compiled in
# directly so that these tests do not wait on the rest of kd36_dialogs.
kd36_qtest(test_settings_form
  SOURCES dialogs/settings_form_test.cpp
          ${CMAKE_SOURCE_DIR}/dialogs/settings_form.cpp ${CMAKE_SOURCE_DIR}/dialogs/settings_form.h
  LIBS kd36_engine kd36_serial Qt6::Widgets)
kd36_gtest(test_settings_file
  SOURCES dialogs/settings_file_test.cpp
  LIBS kd36_settings LABELS unit)
