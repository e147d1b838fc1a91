// vorlo run / vorlo eval: running scripts from the command line.
#pragma once

// vorlo run [switches] FILE    runs a file (image or source, chosen as the engine's run-file rules
//                              say); trace output goes to standard output
// vorlo eval [switches] TEXT   runs the text and prints the string form of its result
int runCommand(int argc, char** argv);
int evalCommand(int argc, char** argv);
// The switches of both, for the usage text.
extern const char* const kRunSwitchesUsage;
