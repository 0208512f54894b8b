# Fails when the library's dynamic symbol table holds anything but the entry points named in
# the version script. Run as: cmake -DLIBRARY=<file> -DMAP=<version script> -P check_exports.cmake
find_program(NM nm)
if(NOT NM)
  message(STATUS "nm not found: exports not checked")
  return()
endif()

file(READ "${MAP}" map)
string(REGEX MATCH "global:([^}]*)local:" block "${map}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" wanted "${CMAKE_MATCH_1}")
list(SORT wanted)

execute_process(COMMAND "${NM}" -D --defined-only "${LIBRARY}" OUTPUT_VARIABLE table RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${table}")
set(found "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  list(APPEND found "${name}")
endforeach()
list(SORT found)

if(NOT found STREQUAL wanted)
  string(REPLACE ";" "\n  " shown "${found}")
  message(FATAL_ERROR "exported symbols differ from the entry points:\n  ${shown}")
endif()
