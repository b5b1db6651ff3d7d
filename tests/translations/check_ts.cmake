# Fails when a text the sources hand to Qt's translation calls has no
# finished translation in the .ts: lupdate collects the sources' texts into
# a copy of the .ts (new ones come in "unfinished", texts gone from the
# sources are dropped), then every message of the copy must be translated.
# Fewer than LEAST texts means the sources were not scanned.
#   cmake -DLUPDATE=... -DTS=... -DWORK=... "-DDIRS=a;b" "-DOPTIONS=..."
#         [-DLANGUAGE=English] [-DLEAST=100] -P check_ts.cmake
if(NOT LANGUAGE)
  set(LANGUAGE English)
endif()
if(NOT LEAST)
  set(LEAST 100)
endif()
file(MAKE_DIRECTORY ${WORK})
set(copy ${WORK}/check.ts)
configure_file(${TS} ${copy} COPYONLY)
execute_process(COMMAND ${LUPDATE} ${OPTIONS} ${DIRS} -ts ${copy}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "lupdate failed:\n${out}")
endif()
file(READ ${copy} ts)
# One entry per message; the source and the translation of each.
string(REGEX MATCHALL "<message[^>]*>.*</message>" all "${ts}")
string(REPLACE "</message>" "</message>;" all "${all}")
set(faults "")
set(count 0)
foreach(m IN LISTS all)
  if(NOT m MATCHES "<source>")
    continue()
  endif()
  math(EXPR count "${count} + 1")
  string(REGEX MATCH "<source>[^<]*" src "${m}")
  string(REPLACE "<source>" "" src "${src}")
  if(m MATCHES "<translation type=\"(unfinished|vanished|obsolete)\"" OR m MATCHES "<translation></translation>"
     OR m MATCHES "<translation/>")
    string(APPEND faults "  ${src}\n")
  endif()
endforeach()
if(count LESS LEAST)
  message(FATAL_ERROR "only ${count} texts found: the sources were not scanned")
endif()
if(faults)
  message(FATAL_ERROR "texts without a finished ${LANGUAGE} translation in ${TS}\n"
    "(cmake --build build --target update_translations, then write their ${LANGUAGE}):\n${faults}")
endif()
message(STATUS "${count} texts, each with its ${LANGUAGE}")
