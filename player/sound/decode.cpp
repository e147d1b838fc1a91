#include "player/sound/decode.h"

#include <algorithm>
#include <array>

#include "util/mp3.h"

namespace vorlo::player {

int SoundFormat::hertz() const {
  static constexpr int kRates[] = {5512, 11025, 22050, 44100};
  return kRates[rate & 3];
}

namespace {

bool roomFor(const Pcm& out, size_t more, std::string* error) {
  if (out.samples.size() + more <= kMaxSoundSamples) return true;
  if (error) *error = "a sound longer than the player plays";
  return false;
}

// 8-bit samples are unsigned, 16-bit ones signed little-endian.
class PcmDecoder final : public SoundDecoder {
 public:
  explicit PcmDecoder(bool sixteen) : sixteen_(sixteen) {}
  bool decode(std::span<const uint8_t> data, Pcm& out, std::string* error) override {
    size_t count = sixteen_ ? data.size() / 2 : data.size();
    if (!roomFor(out, count, error)) return false;
    for (size_t i = 0; i < count; ++i)
      out.samples.push_back(sixteen_ ? int16_t(uint16_t(data[2 * i] | data[2 * i + 1] << 8))
                                     : int16_t((int(data[i]) - 128) << 8));
    return true;
  }

 private:
  bool sixteen_;
};

// The movie's ADPCM: a 2-bit code size once, then packets of 4,096 samples per channel, each
// starting with every channel's first sample (16 bits) and step index (6 bits).
class AdpcmDecoder final : public SoundDecoder {
 public:
  explicit AdpcmDecoder(int channels) : channels_(channels) {}
  bool decode(std::span<const uint8_t> data, Pcm& out, std::string* error) override {
    static constexpr std::array<int, 89> kSteps = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
        31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
        130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
        544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
        2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
        9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    static constexpr int kIndex2[] = {-1, 2};
    static constexpr int kIndex3[] = {-1, -1, 2, 4};
    static constexpr int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
    static constexpr int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
    static constexpr const int* kIndexTables[] = {kIndex2, kIndex3, kIndex4, kIndex5};

    size_t bitPos = 0, bitEnd = data.size() * 8;
    auto bits = [&](int n) -> uint32_t {
      uint32_t v = 0;
      for (int i = 0; i < n; ++i, ++bitPos)
        v = v << 1 | ((data[bitPos >> 3] >> (7 - (bitPos & 7))) & 1);
      return v;
    };
    if (bitEnd < 2) return true;
    int codeBits = int(bits(2)) + 2;
    const int* indexTable = kIndexTables[codeBits - 2];
    uint32_t signBit = 1u << (codeBits - 1);
    int sample[2] = {0, 0}, index[2] = {0, 0};
    size_t headerBits = size_t(22 * channels_), codeBitsAll = size_t(codeBits * channels_);
    while (bitPos + headerBits <= bitEnd) {
      if (!roomFor(out, size_t(4096 * channels_), error)) return false;
      for (int c = 0; c < channels_; ++c) {
        sample[c] = int16_t(uint16_t(bits(16)));
        index[c] = int(bits(6));
        index[c] = std::min(index[c], 88);
        out.samples.push_back(int16_t(sample[c]));
      }
      for (int n = 1; n < 4096 && bitPos + codeBitsAll <= bitEnd; ++n) {
        for (int c = 0; c < channels_; ++c) {
          uint32_t code = bits(codeBits);
          int step = kSteps[size_t(index[c])];
          int diff = step >> (codeBits - 1);
          for (uint32_t k = signBit >> 1, s = uint32_t(step); k; k >>= 1, s >>= 1)
            if (code & k) diff += int(s);
          sample[c] = std::clamp(code & signBit ? sample[c] - diff : sample[c] + diff, -32768, 32767);
          index[c] = std::clamp(index[c] + indexTable[code & (signBit - 1)], 0, 88);
          out.samples.push_back(int16_t(sample[c]));
        }
      }
    }
    return true;
  }

 private:
  int channels_;
};

class Mp3Decoder final : public SoundDecoder {
 public:
  explicit Mp3Decoder(std::unique_ptr<Mp3Stream> stream) : stream_(std::move(stream)) {}
  bool decode(std::span<const uint8_t> data, Pcm& out, std::string* error) override {
    // Fed in pieces, so that a long sound meets the size limit before its samples fill memory (a
    // 32-bit process could not hold what a large MP3 decodes to).
    constexpr size_t kPiece = 64 * 1024;
    for (size_t at = 0; at < data.size() || at == 0; at += kPiece) {
      std::vector<int16_t> samples;
      bool ok = stream_->decode(data.subspan(at, std::min(kPiece, data.size() - at)), samples);
      if (stream_->hertz > 0) out.hertz = stream_->hertz;
      if (stream_->channels > 0 && stream_->channels != out.channels) {
        // The frames say otherwise than the tag: follow the frames for an empty buffer only.
        if (out.samples.empty()) out.channels = stream_->channels;
        else return fail(error);
      }
      if (!roomFor(out, samples.size(), error)) return false;
      out.samples.insert(out.samples.end(), samples.begin(), samples.end());
      if (!ok) return fail(error);
      if (data.empty()) break;
    }
    return true;
  }

 private:
  static bool fail(std::string* error) {
    if (error) *error = "damaged MP3 sound data";
    return false;
  }
  std::unique_ptr<Mp3Stream> stream_;
};

}  // namespace

std::unique_ptr<SoundDecoder> SoundDecoder::make(const SoundFormat& format, std::string* error) {
  switch (format.format) {
    case 0:
    case 3: return std::make_unique<PcmDecoder>(format.sixteenBit);
    case 1: return std::make_unique<AdpcmDecoder>(format.channels());
    case 2:
      if (auto stream = Mp3Stream::open()) return std::make_unique<Mp3Decoder>(std::move(stream));
      if (error) *error = "MP3 sounds cannot be decoded in this build";
      return nullptr;
  }
  if (error) *error = "sound format " + std::to_string(format.format) + " is not played";
  return nullptr;
}

bool decodeSound(const SoundFormat& format, std::span<const uint8_t> data, Pcm& out, std::string* error) {
  out.hertz = format.hertz();
  out.channels = format.channels();
  out.samples.clear();
  auto decoder = SoundDecoder::make(format, error);
  if (!decoder) return false;
  if (format.format == 2) data = data.subspan(std::min<size_t>(2, data.size()));  // seek samples
  return decoder->decode(data, out, error);
}

}  // namespace vorlo::player
