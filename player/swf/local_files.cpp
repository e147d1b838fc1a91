#include "player/swf/local_files.h"

#include <vector>

#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::player {

std::optional<std::string> localPath(const std::string& folder, const std::string& url) {
  std::string rest = url;
  size_t cut = rest.find_first_of("?#");
  if (cut != std::string::npos) rest.resize(cut);
  if (rest.size() >= 5 && equalsIgnoreCase(std::string_view(rest).substr(0, 5), "file:")) rest.erase(0, 5);
  if (rest.empty() || rest.size() > 1024) return std::nullopt;
  // Absolute paths, drives, shares and other schemes ("http:", "C:", "\\server", "/etc").
  if (rest[0] == '/' || rest[0] == '\\' || rest.find(':') != std::string::npos) return std::nullopt;
  std::vector<std::string> parts;
  std::string part;
  auto endPart = [&]() -> bool {
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
    } else if (!part.empty() && part != ".") {
      // Trailing dots and spaces name the same file as without them on Windows: refuse them, and
      // device names, rather than guess.
      if (part.back() == '.' || part.back() == ' ') return false;
      parts.push_back(part);
    }
    part.clear();
    return true;
  };
  for (char c : rest) {
    if (static_cast<unsigned char>(c) < 0x20 || c == '*' || c == '?' || c == '"' || c == '<' || c == '>' || c == '|')
      return std::nullopt;
    if (c == '/' || c == '\\') {
      if (!endPart()) return std::nullopt;
    } else {
      part.push_back(c);
    }
  }
  // A name ending in a separator is a folder.
  if (part.empty() || !endPart() || parts.empty()) return std::nullopt;
  std::string path = folder;
  for (const std::string& p : parts) {
    if (!path.empty() && path.back() != os::kPathSeparator) path.push_back(os::kPathSeparator);
    path += p;
  }
  return path;
}

MovieSource localFiles(std::string folder, size_t maxBytes) {
  return [folder = std::move(folder), maxBytes](const std::string& url,
                                                 std::string* error) -> std::optional<std::vector<uint8_t>> {
    auto fail = [&](std::string why) -> std::optional<std::vector<uint8_t>> {
      if (error) *error = std::move(why);
      return std::nullopt;
    };
    auto path = localPath(folder, url);
    if (!path) return fail("not a file beside the movie");
    File file;
    if (!os::isFile(*path) || !file.open(*path, File::Mode::Read)) return fail("cannot be opened");
    uint64_t size = file.size();
    if (size > maxBytes) return fail("larger than " + std::to_string(maxBytes >> 20) + " MB");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!file.readExact(bytes.data(), bytes.size())) return fail("cannot be read");
    return bytes;
  };
}

}  // namespace vorlo::player
