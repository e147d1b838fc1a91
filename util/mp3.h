// An MPEG audio (layer III, as movies carry) stream decoder: frames fed in pieces come out as
// interleaved 16-bit samples. Linux builds use libmpg123, Windows builds the system's ACM codec.
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vorlo {

class Mp3Stream {
 public:
  virtual ~Mp3Stream() = default;
  // Decodes what can be decoded of `data` (continuing what earlier calls gave) and appends the
  // samples to `out`. `hertz` and `channels` are known after the first frame. False when the
  // data is not MPEG audio or the decoder fails.
  virtual bool decode(std::span<const uint8_t> data, std::vector<int16_t>& out) = 0;
  int hertz = 0, channels = 0;
  // Null when this build has no decoder.
  static std::unique_ptr<Mp3Stream> open();
};

// The sample rate and channel count of the first MPEG audio frame header in `data` (false when
// there is none in its first bytes).
bool readMp3Header(std::span<const uint8_t> data, int* hertz, int* channels, size_t* offset);

}  // namespace vorlo
