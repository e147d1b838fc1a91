// The entry point of a command-line tool. On Windows the arguments come from the wide command line,
// so names outside the active code page arrive intact; either way the tool sees them as UTF-8.
#pragma once
#include <string>
#include <vector>

#ifdef _WIN32
#include "util/text.h"

#define VORLO_TOOL_MAIN(body)                                        \
  int wmain(int argc, wchar_t** argv) {                              \
    std::vector<std::string> args;                                   \
    for (int i = 0; i < argc; ++i) args.push_back(vorlo::fromWide(argv[i])); \
    return body(args);                                               \
  }
#else
#define VORLO_TOOL_MAIN(body)                                        \
  int main(int argc, char** argv) { return body(std::vector<std::string>(argv, argv + argc)); }
#endif
