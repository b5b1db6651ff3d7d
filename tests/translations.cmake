# The English translation: every text the sources give Qt's translation
# calls has a finished English in translations/kd36_en.ts.
set(tr_dirs "")
foreach(dir ${KD36_TR_DIRS})
  list(APPEND tr_dirs ${CMAKE_SOURCE_DIR}/${dir})
endforeach()
add_test(NAME translation_complete
  COMMAND ${CMAKE_COMMAND} -DLUPDATE=$<TARGET_FILE:Qt6::lupdate> -DTS=${CMAKE_SOURCE_DIR}/translations/kd36_en.ts
    -DWORK=${CMAKE_CURRENT_BINARY_DIR}/translation_complete "-DDIRS=${tr_dirs}" "-DOPTIONS=${KD36_LUPDATE_OPTIONS}"
    -P ${CMAKE_CURRENT_SOURCE_DIR}/translations/check_ts.cmake)
set_tests_properties(translation_complete PROPERTIES LABELS unit TIMEOUT 120)
# The language choice and the embedded translation.
kd36_gtest(language_test SOURCES translations/language_test.cpp LIBS kd36_language LABELS unit)
