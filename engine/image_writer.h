// Encoding of a generated, optimised program into image bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/codegen.h"

namespace vorlo {

// Assigns byte offsets and writes the header and the four sections. With `sourceName` (debug
// information requested) the debug section holds the source name and the line records; otherwise
// it is empty.
std::vector<uint8_t> writeImage(GeneratedProgram& program, const char* sourceName, uint32_t headerSeed);

}  // namespace vorlo
