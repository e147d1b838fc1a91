#include "png_builder.h"

#include <zlib.h>

#include <stdexcept>

namespace vorlo::test {

namespace {

void put32(std::vector<uint8_t>* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out->push_back(uint8_t(v >> shift));
}

uint32_t get32(const std::vector<uint8_t>& in, size_t at) {
  return uint32_t(in[at]) << 24 | uint32_t(in[at + 1]) << 16 | uint32_t(in[at + 2]) << 8 | in[at + 3];
}

int channelsOf(int colorType) {
  switch (colorType) {
    case 0: return 1;
    case 2: return 3;
    case 3: return 1;
    case 4: return 2;
    case 6: return 4;
  }
  throw std::invalid_argument("colour type " + std::to_string(colorType));
}

// One scanline (filter type 0, "none") of the pixels at columns x0, x0 + dx, ... of row y.
void appendScanline(const PngSpec& spec, uint32_t y, uint32_t x0, uint32_t dx, std::vector<uint8_t>* out) {
  int channels = channelsOf(spec.colorType);
  out->push_back(0);
  unsigned bits = 0, filled = 0;
  for (uint32_t x = x0; x < spec.width; x += dx) {
    for (int c = 0; c < channels; ++c) {
      uint16_t v = spec.samples.at((size_t(y) * spec.width + x) * channels + c);
      if (spec.bitDepth == 16) {
        out->push_back(uint8_t(v >> 8));
        out->push_back(uint8_t(v));
      } else if (spec.bitDepth == 8) {
        out->push_back(uint8_t(v));
      } else {  // packed from the high bits down
        bits = bits << spec.bitDepth | v;
        filled += spec.bitDepth;
        if (filled == 8) {
          out->push_back(uint8_t(bits));
          bits = filled = 0;
        }
      }
    }
  }
  if (filled) out->push_back(uint8_t(bits << (8 - filled)));
}

// The scanlines of the whole picture, in Adam7's seven passes when interlaced.
std::vector<uint8_t> scanlines(const PngSpec& spec) {
  std::vector<uint8_t> raw;
  if (!spec.interlaced) {
    for (uint32_t y = 0; y < spec.height; ++y) appendScanline(spec, y, 0, 1, &raw);
    return raw;
  }
  struct Pass {
    uint32_t x0, y0, dx, dy;
  } passes[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4}, {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
  for (const Pass& p : passes) {
    if (p.x0 >= spec.width) continue;  // a pass without columns has no scanlines
    for (uint32_t y = p.y0; y < spec.height; y += p.dy) appendScanline(spec, y, p.x0, p.dx, &raw);
  }
  return raw;
}

}  // namespace

std::vector<uint8_t> pngChunk(const std::string& type, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  put32(&out, uint32_t(data.size()));
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  put32(&out, uint32_t(crc32(0, out.data() + 4, uInt(out.size() - 4))));
  return out;
}

std::vector<uint8_t> buildPng(const PngSpec& spec) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto add = [&png](const std::vector<uint8_t>& chunk) { png.insert(png.end(), chunk.begin(), chunk.end()); };

  std::vector<uint8_t> ihdr;
  put32(&ihdr, spec.width);
  put32(&ihdr, spec.height);
  ihdr.insert(ihdr.end(), {uint8_t(spec.bitDepth), uint8_t(spec.colorType), 0, 0, uint8_t(spec.interlaced)});
  add(pngChunk("IHDR", ihdr));
  if (!spec.palette.empty()) add(pngChunk("PLTE", spec.palette));
  if (!spec.transparency.empty()) add(pngChunk("tRNS", spec.transparency));

  std::vector<uint8_t> raw = scanlines(spec);
  uLongf packedSize = compressBound(uLong(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  if (compress2(packed.data(), &packedSize, raw.data(), uLong(raw.size()), 9) != Z_OK) {
    throw std::runtime_error("compress2 failed");
  }
  packed.resize(packedSize);
  add(pngChunk("IDAT", packed));
  add(pngChunk("IEND", {}));
  return png;
}

size_t findChunk(const std::vector<uint8_t>& png, const std::string& type) {
  for (size_t at = 8; at + 12 <= png.size(); at += 12 + get32(png, at)) {
    if (std::string(png.begin() + at + 4, png.begin() + at + 8) == type) return at;
  }
  return std::string::npos;
}

void fixChunkCrc(std::vector<uint8_t>* png, size_t at) {
  uint32_t length = get32(*png, at);
  uint32_t crc = uint32_t(crc32(0, png->data() + at + 4, uInt(length + 4)));
  for (int i = 0; i < 4; ++i) (*png)[at + 8 + length + i] = uint8_t(crc >> (24 - 8 * i));
}

}  // namespace vorlo::test
