#include "tools/vorlo/script_file.h"

#include <cstring>

#include "engine/image.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  return s.size() >= n && vorlo::equalsIgnoreCase(std::string_view(s).substr(s.size() - n), suffix);
}

}  // namespace

bool looksLikeImage(const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  if (!bytes.empty() && bytes[0] == '#') {
    while (at < bytes.size() && bytes[at] != '\n') ++at;
    if (at < bytes.size()) ++at;
  }
  return bytes.size() - at >= 4 && std::memcmp(bytes.data() + at, vorlo::kImageMagic, 4) == 0;
}

std::optional<ScriptFile> loadScriptFile(const std::string& path, std::string* why) {
  if (vorlo::os::isFolder(path)) {
    *why = "is a folder, not a script file";
    return std::nullopt;
  }
  vorlo::File f;
  if (!f.open(path, vorlo::File::Mode::Read)) {
    *why = "cannot be opened: " + vorlo::os::lastErrorText();
    return std::nullopt;
  }
  ScriptFile script;
  script.bytes.resize(static_cast<size_t>(f.size()));
  if (!f.readExact(script.bytes.data(), script.bytes.size())) {
    *why = "cannot be read: " + vorlo::os::lastErrorText();
    return std::nullopt;
  }
  script.image = endsWithNoCase(path, ".vsc") || (!endsWithNoCase(path, ".vos") && looksLikeImage(script.bytes));
  if (script.image) {
    std::string reason;
    if (!vorlo::readImage(script.bytes.data(), script.bytes.size(), &reason)) {
      *why = "is not a valid image (" + reason + ")";
      return std::nullopt;
    }
    return script;
  }
  auto text = vorlo::scriptSourceText(std::string_view(reinterpret_cast<const char*>(script.bytes.data()), script.bytes.size()), why);
  if (!text) return std::nullopt;
  script.text = std::move(*text);
  script.bytes.clear();
  return script;
}

size_t NamedSource::fill(char* buffer, size_t capacity) {
  size_t n = std::min(capacity, text_.size() - position_);
  std::memcpy(buffer, text_.data() + position_, n);
  position_ += n;
  return n;
}
