# The display library (loaded at run time, as the tool does) and the about dialog.
kd36_gtest(spectrum_model_test
  SOURCES spectrum/spectrum_model_test.cpp ${CMAKE_SOURCE_DIR}/spectrum/spectrum_model.cpp)

kd36_qtest(spectrum_library_test SOURCES spectrum/spectrum_library_test.cpp LIBS kd36_language)
add_dependencies(spectrum_library_test analyze32)
target_compile_definitions(spectrum_library_test PRIVATE
  ANALYZE32_PATH="$<TARGET_FILE:analyze32>")

kd36_qtest(about_form_test
  SOURCES spectrum/about_form_test.cpp ${CMAKE_SOURCE_DIR}/dialogs/about_form.cpp
          ${CMAKE_SOURCE_DIR}/dialogs/about_form.h ${CMAKE_SOURCE_DIR}/dialogs/plain_text.cpp
          spectrum/about_test.qrc spectrum/about_logo_only.qrc)

add_test(NAME spectrum_exports
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:analyze32>
          -P ${CMAKE_CURRENT_SOURCE_DIR}/spectrum/check_exports.cmake)
set_tests_properties(spectrum_exports PROPERTIES LABELS unit)

kd36_gtest(fake_analyze32_test SOURCES spectrum/fake_analyze32_test.cpp LIBS ${CMAKE_DL_LIBS})
add_dependencies(fake_analyze32_test fake_analyze32 fake_analyze32_nocontrol)
target_compile_definitions(fake_analyze32_test PRIVATE
  FAKE_ANALYZE32_PATH="$<TARGET_FILE:fake_analyze32>"
  FAKE_ANALYZE32_NOCONTROL_PATH="$<TARGET_FILE:fake_analyze32_nocontrol>")
