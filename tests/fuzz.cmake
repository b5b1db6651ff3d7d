# Fuzzing needs clang's libFuzzer; without clang the fuzz tests are left out.
find_program(KD36_CLANGXX clang++)
if(KD36_CLANGXX AND NOT KD36_SANITIZE)
  set(KD36_FUZZ_SECONDS 20 CACHE STRING "Seconds each fuzz target runs under ctest")
  foreach(target parser rece airc anlz ints profile)
    add_test(NAME fuzz_${target}
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzz.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/fuzz
              fuzz_engine ${target} ${KD36_FUZZ_SECONDS})
    set_tests_properties(fuzz_${target} PROPERTIES LABELS "fuzz" TIMEOUT 600 RESOURCE_LOCK fuzz_engine_build)
  endforeach()
  foreach(target receive settings)
    add_test(NAME fuzz_${target}
      COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzz.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/fuzz
              fuzz_io ${target} ${KD36_FUZZ_SECONDS})
    set_tests_properties(fuzz_${target} PROPERTIES LABELS "fuzz" TIMEOUT 600 RESOURCE_LOCK fuzz_io_build)
  endforeach()
endif()
