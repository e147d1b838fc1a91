#include "util/mp3.h"

namespace vorlo {

bool readMp3Header(std::span<const uint8_t> data, int* hertz, int* channels, size_t* offset) {
  // Rates by version (MPEG 1, 2, 2.5) and index.
  static constexpr int kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  for (size_t i = 0; i + 4 <= data.size() && i < 8192; ++i) {
    if (data[i] != 0xFF || (data[i + 1] & 0xE0) != 0xE0) continue;
    int version = (data[i + 1] >> 3) & 3;  // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    int layer = (data[i + 1] >> 1) & 3;
    int bitrate = data[i + 2] >> 4, rate = (data[i + 2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrate == 15 || rate == 3) continue;
    *hertz = kRates[version == 3 ? 0 : version == 2 ? 1 : 2][rate];
    *channels = (data[i + 3] >> 6) == 3 ? 1 : 2;
    if (offset) *offset = i;
    return true;
  }
  return false;
}

}  // namespace vorlo
