// Compiling one script source into a BytecodeImage: parse, generate code, run the optimiser, lay
// out byte offsets and encode the sections behind the 56-byte header.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/source_stream.h"

#include "engine/options.h"

namespace vorlo {

struct ScriptVM;

// The compile flags are CompileFlags (options.h); the embedding derives them from the options.

struct CompileOutput {
  std::vector<uint8_t> image;  // empty after an error
  std::string messages;        // "error: line N: ..." / "warning: line N: ..." lines, CR LF ended
};

// Compiles `source`. True with the image on success; false after a compile error (the messages say
// which). The messages are also copied into the VM's message buffer (truncated to fit). With a
// listing path the single line "; -*- asm -*-" is written there; with an image path the image is
// also written to that file. `headerSeed` seeds the pseudo-random upper bits of the section type
// words (0: the current time). Running out of memory raises RuntimeError as everywhere in the VM.
bool compileScript(ScriptVM* vm, SourceStream& source, uint32_t flags, CompileOutput& out,
                   const char* listingPath = nullptr, const char* imagePath = nullptr,
                   uint32_t headerSeed = 0);

}  // namespace vorlo
