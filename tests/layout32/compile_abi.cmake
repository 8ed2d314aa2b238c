# Run by the 32-bit layout tests: compiles every header of abi/ on its own, with no include path,
# so that a header leaning on anything but the standard library and abi/ itself fails; then the
# layout check itself. Arguments (-D): COMPILER, FLAGS and HEADERS ('|'-separated), SOURCE.
string(REPLACE "|" ";" flags "${FLAGS}")
string(REPLACE "|" ";" headers "${HEADERS}")
foreach(header IN LISTS headers)
  execute_process(COMMAND ${COMPILER} ${flags} -fsyntax-only -include ${header} -x c++ /dev/null
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "${header} does not compile on its own")
  endif()
endforeach()
execute_process(COMMAND ${COMPILER} ${flags} -fsyntax-only ${SOURCE} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${SOURCE} does not compile")
endif()
