# Main window, its Qt adapters and the executable.
kd36_qtest(qt_view_test SOURCES app/qt_view_test.cpp LIBS kd36_dialogs)
if(TARGET kd36_app)
  kd36_qtest(main_form_test SOURCES app/main_form_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
if(TARGET kd36_app)
  kd36_qtest(restart_access_test SOURCES app/restart_access_test.cpp ${CMAKE_SOURCE_DIR}/resources/app.qrc
             LIBS kd36_app kd36_sim)
endif()
