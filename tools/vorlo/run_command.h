// vorlo run / vorlo eval: running scripts from the command line.
#pragma once
#include <string>
#include <vector>

// vorlo run [switches] FILE    runs a file (image or source, chosen as the engine's run-file rules
//                              say); trace output goes to standard output
// vorlo eval [switches] TEXT   runs the text and prints the string form of its result
int runCommand(const std::vector<std::string>& args);
int evalCommand(const std::vector<std::string>& args);
// The switches of both, for the usage text.
extern const char* const kRunSwitchesUsage;
