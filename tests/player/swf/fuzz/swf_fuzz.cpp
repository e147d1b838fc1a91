// Fuzz target over whole movies: the reader must neither crash, hang, read out of bounds nor take
// memory without bound, and every morph shape must interpolate.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "player/swf/movie.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  auto movie = vorlo::player::readMovie(std::span<const uint8_t>(data, size), &error);
  if (!movie) return 0;
  for (auto& [id, c] : movie->characters)
    if (auto* morph = std::get_if<vorlo::player::MorphShape>(c.get())) (void)vorlo::player::morphShapeAt(*morph, 0.5);
  return 0;
}
