# Drives the vorlo-pack command as a user does: usage errors, a missing project folder or runtime,
# and the exit status of --list. Run by ctest with -DPACK=<path of the command> -DWORK=<scratch folder>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/project)
file(WRITE ${WORK}/project/vorlo.toml "[application]\nid = \"A/B\"\n")
file(WRITE ${WORK}/notes.txt "not a program")

# expect(NAME EXIT n [ERR regex] COMMAND args...)
function(expect name)
  cmake_parse_arguments(arg "" "EXIT;ERR" "COMMAND" ${ARGN})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=VORLO_RUNTIME ${PACK} ${arg_COMMAND}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err WORKING_DIRECTORY ${WORK})
  if(NOT rc EQUAL arg_EXIT)
    message(FATAL_ERROR "${name}: status ${rc}, expected ${arg_EXIT}\nstdout: ${out}\nstderr: ${err}")
  endif()
  if(DEFINED arg_ERR AND NOT err MATCHES "${arg_ERR}")
    message(FATAL_ERROR "${name}: standard error does not match '${arg_ERR}': ${err}")
  endif()
endfunction()

expect(no-arguments EXIT 2 ERR "no project folder given" COMMAND)
expect(unknown-option EXIT 2 ERR "unknown option --fast" COMMAND --fast project)
expect(missing-value EXIT 2 ERR "-o needs a value" COMMAND project -o)
expect(two-projects EXIT 2 ERR "one project folder at a time" COMMAND project other)
expect(missing-project EXIT 1 ERR "the project folder nowhere does not exist" COMMAND nowhere)
# Without a runtime the message lists where it looked and how to give one.
expect(missing-runtime EXIT 1 ERR "no runtime \\(vorlo.exe\\) to build on; looked in:\n  [^\n]*runtime[/\\]vorlo.exe\n.*--runtime FILE or the VORLO_RUNTIME"
       COMMAND project)
expect(list-not-a-program EXIT 1 ERR "vorlo-pack: " COMMAND --list notes.txt)
