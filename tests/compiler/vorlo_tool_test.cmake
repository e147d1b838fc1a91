# Drives the vorlo command: compile (good and bad source) and dis. Run by ctest with
# -DVORLO=<path of the command> -DWORK=<scratch folder>.
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/good.vos "function twice(n) { return n * 2; }\nx = twice(21);\n")
file(WRITE ${WORK}/bad.vos "x = 1;\nbreak;\n")

execute_process(COMMAND ${VORLO} compile ${WORK}/good.vos -o ${WORK}/good.vsc -g
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "compile of a good source failed (${rc}): ${err}")
endif()
execute_process(COMMAND ${VORLO} dis ${WORK}/good.vsc RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
foreach(expected "function twice" "function .main" "MUL" "LOADGLOBAL twice" "STOREGLOBAL x" "; line 1"
                 "; source ${WORK}/good.vos")
  string(FIND "${listing}" "${expected}" at)
  if(NOT rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "listing lacks '${expected}' (${rc}):\n${listing}")
  endif()
endforeach()

execute_process(COMMAND ${VORLO} compile ${WORK}/bad.vos -o ${WORK}/bad.vsc
                RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1 OR NOT err STREQUAL "error: line 1: invalid break\n" OR EXISTS ${WORK}/bad.vsc)
  message(FATAL_ERROR "bad source: status ${rc}, messages '${err}'")
endif()

file(WRITE ${WORK}/lying.vsc "VS1b\n")
execute_process(COMMAND ${VORLO} dis ${WORK}/lying.vsc RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 1)
  message(FATAL_ERROR "dis accepted a broken image (${rc}): ${err}")
endif()
