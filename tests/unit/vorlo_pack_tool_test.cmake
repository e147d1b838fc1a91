# Drives the vorlo-pack command as a user does: usage errors, a missing project folder or runtime,
# and the exit status of --list. Run by ctest with -DPACK=<path of the command> -DWORK=<scratch folder>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/project)
file(WRITE ${WORK}/project/vorlo.toml "[application]\nid = \"A/B\"\n")
file(WRITE ${WORK}/notes.txt "not a program")

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/expect_command.cmake)
set(TOOL ${CMAKE_COMMAND} -E env --unset=VORLO_RUNTIME ${PACK})

expect_command(no-arguments EXIT 2 ERR "no project folder given" COMMAND)
expect_command(unknown-option EXIT 2 ERR "unknown option --fast" COMMAND --fast project)
expect_command(missing-value EXIT 2 ERR "-o needs a value" COMMAND project -o)
expect_command(two-projects EXIT 2 ERR "one project folder at a time" COMMAND project other)
expect_command(missing-project EXIT 1 ERR "the project folder nowhere does not exist" COMMAND nowhere)
# Without a runtime the message lists where it looked and how to give one.
expect_command(missing-runtime EXIT 1 ERR "no runtime \\(vorlo.exe\\) to build on; looked in:\n  [^\n]*runtime[/\\]vorlo.exe\n.*--runtime FILE or the VORLO_RUNTIME"
       COMMAND project)
expect_command(list-not-a-program EXIT 1 ERR "vorlo-pack: " COMMAND --list notes.txt)
