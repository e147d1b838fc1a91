// The start of a movie file as the projector reads it: the stage rectangle in pixels, the frame
// rate and count, and the background colour. A projector executable with a movie appended after it
// is read the same way.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vorlo {

struct MovieHeader {
  int left = 0, top = 0, right = 0, bottom = 0;  // pixels (twips / 20, truncated)
  uint16_t frameRate = 0;                        // 8.8 fixed point, as stored
  uint16_t frameCount = 0;
  int32_t backgroundColor = -1;  // 0xRRGGBB, or -1 when the movie sets none
  uint8_t version = 0;
  bool compressed = false;
};

// Movies longer than this are not read (their declared length included).
constexpr uint64_t kMaxMovieLength = 256u << 20;

// The header of a movie file, or of the movie appended to an executable; nothing when the file
// is neither, is damaged or cannot be read. Only what the header needs is read and inflated.
std::optional<MovieHeader> readMovieHeader(const std::string& path);

// True for a name ending in ".swf"; for one ending in ".exe", true when the file carries an
// appended movie.
bool isMovieFile(const std::string& path);

}  // namespace vorlo
