# The translations: every text the sources give Qt's translation calls has a
# finished translation, the window's in translations/kd36_en.ts (English),
# kd36ctl's own messages in translations/kd36ctl_ja.ts (Japanese).
foreach(check "translation_complete;kd36_en.ts;KD36_TR_DIRS;English;100"
              "translation_complete_kd36ctl;kd36ctl_ja.ts;KD36_CTL_TR_DIRS;Japanese;40")
  list(GET check 0 name)
  list(GET check 1 ts)
  list(GET check 2 dirs_var)
  list(GET check 3 language)
  list(GET check 4 least)
  set(tr_dirs "")
  foreach(dir ${${dirs_var}})
    list(APPEND tr_dirs ${CMAKE_SOURCE_DIR}/${dir})
  endforeach()
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -DLUPDATE=$<TARGET_FILE:Qt6::lupdate> -DTS=${CMAKE_SOURCE_DIR}/translations/${ts}
      -DWORK=${CMAKE_CURRENT_BINARY_DIR}/${name} "-DDIRS=${tr_dirs}" "-DOPTIONS=${KD36_LUPDATE_OPTIONS}"
      -DLANGUAGE=${language} -DLEAST=${least}
      -P ${CMAKE_CURRENT_SOURCE_DIR}/translations/check_ts.cmake)
  set_tests_properties(${name} PROPERTIES LABELS unit TIMEOUT 120)
endforeach()
# The language choice and the embedded translation.
kd36_gtest(language_test SOURCES translations/language_test.cpp LIBS kd36_language LABELS unit)
