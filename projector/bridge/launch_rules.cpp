#include "projector/bridge/launch_rules.h"

#include <algorithm>

namespace vorlo::bridge {

LaunchCommand splitLaunchCommand(const std::string& text) {
  LaunchCommand c;
  size_t quote = text.rfind('"');
  if (quote != std::string::npos) {
    c.parameters = text.substr(quote + 1);
    for (size_t i = 0; i < quote; ++i)
      if (text[i] != '"') c.program += text[i];
    return c;
  }
  size_t space = text.find(' ');
  if (space == std::string::npos) {
    c.program = text;
  } else {
    c.program = text.substr(0, space);
    c.parameters = text.substr(space);
  }
  return c;
}

namespace {

std::string joined(const std::string& folder, const std::string& path) {
  if (folder.empty()) return {};
  return folder.back() == '\\' ? folder + path : folder + "\\" + path;
}

}  // namespace

std::string resolveProgram(const std::string& program, const LaunchPlaces& places) {
  std::string path = program;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (!path.empty() && path[0] == '\\') path.erase(0, 1);
  if (path.empty()) return {};
  auto exists = [&](const std::string& p) { return !p.empty() && places.fileExists && places.fileExists(p); };
  if (path.find(':', 1) != std::string::npos) return exists(path) ? path : std::string();
  if (places.packagedFile) {
    std::string extracted = places.packagedFile(path);
    if (exists(extracted)) return extracted;
  }
  std::vector<std::string> candidates = {
      joined(places.programFolder, path),
      joined(places.programFolder, "fscommand\\" + path),
      joined(places.systemFolder, path),
      joined(places.windowsFolder, path),
  };
  size_t start = 0;
  while (start <= places.pathVariable.size()) {
    size_t end = places.pathVariable.find(';', start);
    if (end == std::string::npos) end = places.pathVariable.size();
    std::string folder = places.pathVariable.substr(start, end - start);
    if (!folder.empty()) candidates.push_back(joined(folder, path));
    start = end + 1;
  }
  for (const std::string& c : candidates)
    if (exists(c)) return c;
  return {};
}

}  // namespace vorlo::bridge
