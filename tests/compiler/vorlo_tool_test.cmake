# Drives the vorlo command: compile (good and bad source) and dis, and what it refuses. Run by ctest
# with -DVORLO=<path of the command> -DWORK=<scratch folder>.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(WRITE ${WORK}/good.vos "function twice(n) { return n * 2; }\nx = twice(21);\n")
file(WRITE ${WORK}/bad.vos "x = 1;\nbreak;\n")

include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/expect_command.cmake)
set(TOOL ${VORLO})

expect_command(compile-good EXIT 0 COMMAND compile ${WORK}/good.vos -o ${WORK}/good.vsc -g)
execute_process(COMMAND ${VORLO} dis ${WORK}/good.vsc RESULT_VARIABLE rc OUTPUT_VARIABLE listing)
foreach(expected "function twice" "function .main" "MUL" "LOADGLOBAL twice" "STOREGLOBAL x" "; line 1"
                 "; source ${WORK}/good.vos")
  string(FIND "${listing}" "${expected}" at)
  if(NOT rc EQUAL 0 OR at EQUAL -1)
    message(FATAL_ERROR "listing lacks '${expected}' (${rc}):\n${listing}")
  endif()
endforeach()

# Errors name the file and count lines from 1; nothing is written for a source that does not compile.
expect_command(compile-bad EXIT 1 ERR "^bad.vos:2: invalid break\n$" COMMAND compile bad.vos -o bad.vsc)
if(EXISTS ${WORK}/bad.vsc)
  message(FATAL_ERROR "a failed compile wrote an image")
endif()
# A CR alone ends a line (old Mac line ends) as LF and CR LF do.
file(WRITE ${WORK}/cr.vos "x = 1;\ry = 2;\rbreak;\r")
expect_command(compile-cr EXIT 1 ERR "^cr.vos:3: invalid break\n$" COMMAND compile cr.vos)

# Source text: a UTF-8 byte-order mark (as Notepad writes) is skipped; UTF-16 is refused by name.
string(ASCII 239 187 191 utf8_mark)
string(ASCII 255 254 utf16_mark)
file(WRITE ${WORK}/bom.vos "${utf8_mark}trace('with a mark');\n")
expect_command(run-bom EXIT 0 OUT "^with a mark\n$" COMMAND run bom.vos)
file(WRITE ${WORK}/utf16.vos "${utf16_mark}t")
expect_command(run-utf16 EXIT 1 ERR "utf16.vos: .*UTF-16.*UTF-8" COMMAND run utf16.vos)

# Runtime errors name the file and the line counted from 1, whatever ends the lines.
foreach(ending "\n" "\r\n" "\r")
  string(REPLACE "\n" "${ending}" text "x = 1;\nfunction f() {\n  var y = 2;\n  throw 'at line 4';\n}\nf();\n")
  file(WRITE ${WORK}/located.vos "${text}")
  expect_command(run-location EXIT 1 ERR "^at line 4\n  in function f \\(located.vos:4\\)\n$" COMMAND run -g located.vos)
endforeach()

# Runaway recursion through eval, sort comparators and conversions ends the run as plain recursion
# does (at once, exit 1), while a program inside eval that overflows on its own ends only the eval.
set(overflow "^Runtime error: stack overflow\n  in function f\n$")
file(WRITE ${WORK}/through_eval.vos "function f(n) { return eval('f(0)'); }\nf(0);\ntrace('went on');\n")
expect_command(run-eval-recursion EXIT 1 OUT "^$" ERR "${overflow}" COMMAND run through_eval.vos)
file(WRITE ${WORK}/through_sort.vos
     "function f(n) { return [1, 2, 3].sort(g); }\nfunction g(a, b) { f(0); return 0; }\nf(0);\ntrace('went on');\n")
expect_command(run-sort-recursion EXIT 1 OUT "^$" ERR "${overflow}" COMMAND run through_sort.vos)
file(WRITE ${WORK}/through_text.vos "function T() {}\nfunction f() { return '<' + this + '>'; }\nt = new T();\nt.toString = f;\ntrace('' + t);\n")
expect_command(run-conversion-recursion EXIT 1 OUT "^$" ERR "${overflow}" COMMAND run through_text.vos)
file(WRITE ${WORK}/inside_eval.vos "eval('function deep() { return deep(); } deep();');\ntrace('went on');\n")
expect_command(run-overflow-inside-eval EXIT 0 OUT "^went on\n$" COMMAND run inside_eval.vos)

# Memory: one limit on every build, settable; past it the run ends with "Out of memory".
file(WRITE ${WORK}/memory.vos "var s = 'x';\nfor (var i = 0; i < 24; i++) s = s + s;\nvar parts = s.split('');\ntrace(parts.length);\n")
expect_command(run-memory-limit EXIT 1 OUT "^$" ERR "^Runtime error: Out of memory\n" COMMAND run --memory-limit 64 memory.vos)
expect_command(run-memory-limit-bad EXIT 2 COMMAND run --memory-limit 0 memory.vos)

# Nothing the command did not make is overwritten: a source saved as .vsc, or another file at -o.
file(WRITE ${WORK}/same.vsc "x = 1;\n")
expect_command(compile-onto-source EXIT 1 ERR "same.vsc: the image would overwrite its own source" COMMAND compile same.vsc)
file(READ ${WORK}/same.vsc kept)
if(NOT kept STREQUAL "x = 1;\n")
  message(FATAL_ERROR "compile overwrote its source: '${kept}'")
endif()
file(WRITE ${WORK}/notes.txt "my notes\n")
expect_command(compile-onto-other EXIT 1 ERR "notes.txt exists and is not a compiled image" COMMAND compile good.vos -o notes.txt)
file(READ ${WORK}/notes.txt kept)
if(NOT kept STREQUAL "my notes\n")
  message(FATAL_ERROR "compile overwrote a file it did not make")
endif()
expect_command(compile-again EXIT 0 COMMAND compile good.vos -o good.vsc)

# A folder is no script: compile writes no FOLDER.vsc, run runs nothing and says so.
file(MAKE_DIRECTORY ${WORK}/folder)
expect_command(compile-folder EXIT 1 ERR "folder: is a folder" COMMAND compile folder)
if(EXISTS ${WORK}/folder.vsc)
  message(FATAL_ERROR "compile of a folder wrote folder.vsc")
endif()
expect_command(run-folder EXIT 1 ERR "folder: is a folder" COMMAND run folder)

# A damaged image: dis and run both give the reason.
file(WRITE ${WORK}/lying.vsc "VS1b\n")
expect_command(dis-damaged EXIT 1 ERR "lying.vsc: is not a valid image \\(.+\\)" COMMAND dis lying.vsc)
expect_command(run-damaged EXIT 1 ERR "lying.vsc: is not a valid image \\(.+\\)" COMMAND run lying.vsc)

# Usage errors exit 2.
expect_command(usage-none EXIT 2 COMMAND)
expect_command(usage-compile EXIT 2 COMMAND compile)
expect_command(usage-run EXIT 2 COMMAND run --no-such-switch good.vos)
