// The "exec" command's rules: how its text splits into a program and its parameters, and where a
// program named by a relative path is looked for. Pure functions over the file system's answers, so
// they are tested natively.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace vorlo::bridge {

struct LaunchCommand {
  std::string program;
  std::string parameters;  // "" for none
};

// With a double quote: the parameters are the text after the last one and the program the text
// before it without quotes. Otherwise the first space splits (the parameters keep that space).
LaunchCommand splitLaunchCommand(const std::string& text);

struct LaunchPlaces {
  std::string programFolder;  // with a trailing "\"
  std::string systemFolder, windowsFolder;  // without one
  std::string pathVariable;  // folders split at ";"
  // The packaged file of that archive path extracted, or "" when the package has none.
  std::function<std::string(const std::string&)> packagedFile;
  std::function<bool(const std::string&)> fileExists;
};

// The file to launch: "" when the program is empty or no candidate exists. Forward slashes become
// backslashes and one leading backslash is dropped; an absolute path is used only when it exists.
std::string resolveProgram(const std::string& program, const LaunchPlaces& places);

}  // namespace vorlo::bridge
