// Movie sounds into 16-bit PCM: uncompressed (8 and 16 bit), ADPCM and MP3, for whole sounds
// (DefineSound) and for streams that arrive a block per frame (SoundStreamBlock).
#pragma once
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vorlo::player {

// The format fields of DefineSound and SoundStreamHead.
struct SoundFormat {
  uint8_t format = 0;  // 0 and 3 uncompressed, 1 ADPCM, 2 MP3 (others are not decoded)
  uint8_t rate = 3;    // 0 5.5 kHz, 1 11 kHz, 2 22 kHz, 3 44 kHz
  bool sixteenBit = true, stereo = false;
  int hertz() const;
  int channels() const { return stereo ? 2 : 1; }
};

// Decoded samples, interleaved by channel.
struct Pcm {
  int hertz = 44100;
  int channels = 1;
  std::vector<int16_t> samples;
  size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

// One decoder per sound or per stream: MP3 streams carry state from block to block.
class SoundDecoder {
 public:
  virtual ~SoundDecoder() = default;
  // Appends the samples of `data` to `out` (which must have this decoder's channels; `hertz`
  // may change once the first MP3 frame is seen). False, with `error`, for data it cannot read;
  // what was decoded before the damage stays.
  virtual bool decode(std::span<const uint8_t> data, Pcm& out, std::string* error) = 0;
  // Makes the decoder for a format, or null (with `error`) for one this player does not decode.
  static std::unique_ptr<SoundDecoder> make(const SoundFormat& format, std::string* error);
};

// A whole DefineSound's data (MP3 data starts with its seek samples).
bool decodeSound(const SoundFormat& format, std::span<const uint8_t> data, Pcm& out, std::string* error);

// Limits that hold for hostile movies: samples of one decoded sound.
inline constexpr size_t kMaxSoundSamples = size_t(1) << 25;  // 32 M samples, 64 MB

}  // namespace vorlo::player
