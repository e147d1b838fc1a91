// A script file as `vorlo run` and `vorlo compile` take it: read through the file layer (so paths
// outside the code page work on Windows), told apart as image or source, and checked before use.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/source_stream.h"

struct ScriptFile {
  bool image = false;
  std::vector<uint8_t> bytes;  // an image's bytes
  std::string text;            // a source's text (UTF-8 mark skipped, lone CRs made LFs)
};

// ".vsc" is an image, ".vos" source, anything else by its content (an optional "#" first line, then
// the image magic or source text). Nullopt with *why when the path is a folder, cannot be read, is an
// image that does not load or a source in UTF-16.
std::optional<ScriptFile> loadScriptFile(const std::string& path, std::string* why);

// The image magic at the start (after an optional "#" first line).
bool looksLikeImage(const std::vector<uint8_t>& bytes);

// Source text in memory that carries its file's name, for messages and debug information.
class NamedSource final : public vorlo::SourceStream {
 public:
  NamedSource(const std::string& text, std::string name) : text_(text), name_(std::move(name)) {}
  const char* name() const override { return name_.c_str(); }

 protected:
  size_t fill(char* buffer, size_t capacity) override;
  bool restart() override {
    position_ = 0;
    return true;
  }

 private:
  const std::string& text_;
  std::string name_;
  size_t position_ = 0;
};
