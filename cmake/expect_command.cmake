# For tests that drive a command-line tool from a CMake script (cmake -P). Set TOOL to the command
# (a list: the program and any words before the arguments) and WORK to the folder it runs in, then
#   expect_command(NAME EXIT n [ERR regex] [OUT regex] COMMAND args...)
# runs TOOL with the arguments and fails the test when the exit status or the output differ.
function(expect_command name)
  cmake_parse_arguments(arg "" "EXIT;ERR;OUT" "COMMAND" ${ARGN})
  execute_process(COMMAND ${TOOL} ${arg_COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                  WORKING_DIRECTORY ${WORK})
  if(NOT rc EQUAL arg_EXIT)
    message(FATAL_ERROR "${name}: status ${rc}, expected ${arg_EXIT}\nstdout: ${out}\nstderr: ${err}")
  endif()
  if(DEFINED arg_ERR AND NOT err MATCHES "${arg_ERR}")
    message(FATAL_ERROR "${name}: standard error does not match '${arg_ERR}': ${err}")
  endif()
  if(DEFINED arg_OUT AND NOT out MATCHES "${arg_OUT}")
    message(FATAL_ERROR "${name}: standard output does not match '${arg_OUT}': ${out}")
  endif()
endfunction()
