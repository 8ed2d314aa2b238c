# cmake -DOBJDUMP=<objdump> -DLIBRARY=<file.dll> -DEXPECTED=<name,name,...> -P check_exports.cmake
#
# Fails unless the library's export table holds exactly the expected names: no decorated
# `Name@N` beside or instead of a plain name, no POSIX-only DllEntry, nothing missing.
foreach(var OBJDUMP LIBRARY EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()
execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${LIBRARY} failed (${rc})")
endif()

# The names follow the "[Ordinal/Name Pointer] Table" line, one "[  n] Name" per line.
set(exported "")
set(in_table FALSE)
string(REPLACE "\n" ";" lines "${dump}")
foreach(line IN LISTS lines)
  if(line MATCHES "\\[Ordinal/Name Pointer\\] Table")
    set(in_table TRUE)
  elseif(in_table AND line MATCHES "^[ \t]*\\[ *[0-9]+\\] (.+)$")
    list(APPEND exported "${CMAKE_MATCH_1}")
  elseif(in_table)
    set(in_table FALSE)
  endif()
endforeach()

string(REPLACE "," ";" expected "${EXPECTED}")
list(SORT exported)
list(SORT expected)
if(NOT exported STREQUAL expected)
  set(missing ${expected})
  list(REMOVE_ITEM missing ${exported})
  set(extra ${exported})
  list(REMOVE_ITEM extra ${expected})
  message(FATAL_ERROR "${LIBRARY}:\n  exports: ${exported}\n  missing: ${missing}\n"
                      "  not expected: ${extra}")
endif()
message(STATUS "${LIBRARY}: ${exported}")
