// The SWF assembler: a readable text form of a movie (header, definitions, placements, frames and
// action records) into the bytes of a SWF file. The text form is described in tools/swf/README.md.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo::swfasm {

struct AssembleOptions {
  // Folder that `file="..."` paths are relative to (empty: the current folder).
  std::string baseDir;
};

// The movie's bytes, or false with `error` naming the line ("line 12: ...").
bool assembleSwf(std::string_view text, std::vector<uint8_t>& out, std::string& error,
                 const AssembleOptions& options = {});

}  // namespace vorlo::swfasm
