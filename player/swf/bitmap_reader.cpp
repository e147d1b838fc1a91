// DefineBits (with JPEGTables), DefineBitsJPEG2-4 and DefineBitsLossless 1-2 into premultiplied
// 32-bit bitmaps.
#include <zlib.h>

#include <algorithm>

#include "player/swf/jpeg_decoder.h"
#include "player/swf/png_decoder.h"
#include "util/gif/gif_reader.h"
#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

namespace {

std::string where(uint16_t code, uint16_t id) { return std::string(tag::name(code)) + " " + std::to_string(id); }

bool withinCap(ReadContext& ctx, uint16_t code, uint16_t id, int w, int h) {
  if (w <= ReadLimits::kMaxBitmapSide && h <= ReadLimits::kMaxBitmapSide &&
      uint64_t(w) * uint64_t(h) <= ReadLimits::kMaxBitmapPixels)
    return true;
  ctx.warn(where(code, id) + " is " + std::to_string(w) + " x " + std::to_string(h) +
           " pixels, beyond the limit of 8191 a side and 16777216 in all: left out");
  return false;
}

// Inflates into exactly `out.size()` bytes; returns how many came out. `damaged` tells that the
// stream ended or broke before filling them.
size_t inflateInto(std::span<const uint8_t> in, std::vector<uint8_t>& out, bool& damaged);

// Inflates at most `limit` bytes into `out`, growing it as data arrives, so that a bitmap that
// declares a large size with little data behind it costs only what it holds.
void inflateUpTo(std::span<const uint8_t> in, size_t limit, std::vector<uint8_t>& out, bool& damaged) {
  out.clear();
  damaged = false;
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    damaged = true;
    return;
  }
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  size_t chunk = 64 * 1024;
  int status = Z_OK;
  while (out.size() < limit && status == Z_OK) {
    size_t had = out.size(), want = std::min(chunk, limit - had);
    out.resize(had + want);
    z.next_out = out.data() + had;
    z.avail_out = uInt(want);
    status = inflate(&z, Z_NO_FLUSH);
    out.resize(had + (want - z.avail_out));
    if (chunk < (4u << 20)) chunk *= 2;
  }
  damaged = out.size() < limit;
  inflateEnd(&z);
}

size_t inflateInto(std::span<const uint8_t> in, std::vector<uint8_t>& out, bool& damaged) {
  z_stream z{};
  damaged = false;
  if (inflateInit(&z) != Z_OK) {
    damaged = true;
    return 0;
  }
  z.next_in = const_cast<Bytef*>(in.data());
  z.avail_in = uInt(in.size());
  z.next_out = out.data();
  z.avail_out = uInt(out.size());
  int status = Z_OK;
  while (z.avail_out > 0 && status == Z_OK) status = inflate(&z, Z_NO_FLUSH);
  size_t got = out.size() - z.avail_out;
  damaged = got < out.size();
  inflateEnd(&z);
  return got;
}

uint8_t expand5(unsigned v) { return uint8_t(v << 3 | v >> 2); }

// Stored premultiplied colour whose channels exceed its alpha would break the renderer's
// arithmetic; such pixels are clamped.
uint32_t premultipliedPixel(uint8_t a, uint8_t r, uint8_t g, uint8_t b) {
  r = std::min(r, a);
  g = std::min(g, a);
  b = std::min(b, a);
  return uint32_t(a) << 24 | uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

void finish(Bitmap& bm) {
  bm.opaque = std::all_of(bm.pixels.begin(), bm.pixels.end(), [](uint32_t p) { return (p >> 24) == 0xFF; });
}

void readLossless(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  bool withAlpha = code == tag::DefineBitsLossless2;
  uint8_t format = r.u8();
  int w = r.u16(), h = r.u16();
  unsigned paletteSize = format == 3 ? unsigned(r.u8()) + 1 : 0;
  if (!r.ok()) return ctx.warn(where(code, id) + " is damaged: left out");
  if (format != 3 && format != 4 && format != 5)
    return ctx.warn(where(code, id) + " has the unknown format " + std::to_string(format) + ": left out");
  if (!withinCap(ctx, code, id, w, h)) return;
  size_t rowBytes = format == 3 ? (size_t(w) + 3) & ~size_t(3) : format == 4 ? (size_t(w) * 2 + 3) & ~size_t(3) : size_t(w) * 4;
  size_t paletteBytes = size_t(paletteSize) * (withAlpha ? 4 : 3);
  size_t expected = paletteBytes + rowBytes * size_t(h);
  size_t pixelCount = size_t(w) * size_t(h);
  if (!ctx.charge(expected + pixelCount * 4, "bitmaps")) return;
  std::vector<uint8_t> data;
  bool damaged = false;
  if (expected > 0) inflateUpTo(r.rest(), expected, data, damaged);
  size_t got = data.size();
  Bitmap bm;
  bm.width = w;
  bm.height = h;
  bm.pixels.assign(pixelCount, 0);
  std::vector<uint32_t> palette(256, 0);
  if (format == 3) {
    for (unsigned i = 0; i < paletteSize && (i + 1) * (withAlpha ? 4 : 3) <= got; ++i) {
      const uint8_t* p = data.data() + i * (withAlpha ? 4 : 3);
      palette[i] = withAlpha ? premultipliedPixel(p[3], p[0], p[1], p[2]) : premultipliedPixel(255, p[0], p[1], p[2]);
    }
  }
  for (int y = 0; y < h; ++y) {
    size_t rowStart = paletteBytes + size_t(y) * rowBytes;
    if (rowStart >= got) break;
    const uint8_t* row = data.data() + rowStart;
    size_t available = std::min(rowBytes, got - rowStart);
    uint32_t* out = bm.pixels.data() + size_t(y) * size_t(w);
    for (int x = 0; x < w; ++x) {
      if (format == 3) {
        if (size_t(x) >= available) break;
        uint8_t index = row[x];
        out[x] = index < paletteSize ? palette[index] : 0;
      } else if (format == 4) {
        if (size_t(x) * 2 + 2 > available) break;
        unsigned v = unsigned(row[x * 2]) << 8 | row[x * 2 + 1];
        out[x] = premultipliedPixel(255, expand5(v >> 10 & 31), expand5(v >> 5 & 31), expand5(v & 31));
      } else {
        if (size_t(x) * 4 + 4 > available) break;
        const uint8_t* p = row + size_t(x) * 4;
        // DefineBitsLossless2 stores premultiplied ARGB; DefineBitsLossless's first byte is padding.
        out[x] = premultipliedPixel(withAlpha ? p[0] : 255, p[1], p[2], p[3]);
      }
    }
  }
  if (damaged)
    ctx.warn(where(code, id) + ": the pixel data is damaged or short (" + std::to_string(got) + " of " +
             std::to_string(expected) + " bytes)");
  finish(bm);
  ctx.define(id, std::move(bm), code);
}

// GIF data in a JPEG tag (Flash 8 took GIF files there): the first image, its transparency kept.
void readGif(ReadContext& ctx, uint16_t code, uint16_t id, std::span<const uint8_t> image) {
  gif::Image picture;
  std::string problem;
  gif::Status status = gif::decode(image, ReadLimits::kMaxBitmapSide, ReadLimits::kMaxBitmapPixels, picture, problem);
  if (status == gif::Status::TooLarge) {
    withinCap(ctx, code, id, picture.width, picture.height);
    return;
  }
  if (status == gif::Status::Failed) return ctx.warn(where(code, id) + ": " + problem + ": left out");
  if (status == gif::Status::Partial) ctx.warn(where(code, id) + ": " + problem + ": the image is incomplete");
  size_t n = size_t(picture.width) * size_t(picture.height);
  if (!ctx.charge(n * 4, "bitmaps")) return;
  Bitmap bm;
  bm.width = picture.width;
  bm.height = picture.height;
  bm.pixels.resize(n);
  for (size_t i = 0; i < n; ++i) {
    const uint8_t* p = &picture.rgba[i * 4];
    bm.pixels[i] = premultiply(p[0], p[1], p[2], p[3]);
  }
  finish(bm);
  ctx.define(id, std::move(bm), code);
}

void readJpeg(ReadContext& ctx, uint16_t code, uint16_t id, SwfReader& r) {
  uint32_t alphaOffset = 0;
  bool hasAlpha = code == tag::DefineBitsJpeg3 || code == tag::DefineBitsJpeg4;
  if (hasAlpha) alphaOffset = r.u32();
  if (code == tag::DefineBitsJpeg4) r.u16();  // deblocking filter strength, not applied
  if (!r.ok()) return ctx.warn(where(code, id) + " is damaged: left out");
  std::span<const uint8_t> image = r.rest(), alpha;
  if (hasAlpha) {
    if (alphaOffset > image.size()) return ctx.warn(where(code, id) + " is damaged: left out");
    alpha = image.subspan(alphaOffset);
    image = image.first(alphaOffset);
  }
  if (gif::isGif(image)) return readGif(ctx, code, id, image);
  if (isPng(image)) {
    Bitmap bm;
    std::string problem;
    PngStatus status = decodePng(image, ReadLimits::kMaxBitmapSide, ReadLimits::kMaxBitmapPixels, bm, problem);
    if (status == PngStatus::TooLarge) {
      withinCap(ctx, code, id, bm.width, bm.height);
      return;
    }
    if (status == PngStatus::Failed) return ctx.warn(where(code, id) + ": " + problem + ": left out");
    if (!ctx.charge(bm.pixels.size() * 4, "bitmaps")) return;
    ctx.define(id, std::move(bm), code);
    return;
  }
  std::span<const uint8_t> tables;
  if (code == tag::DefineBits) tables = ctx.jpegTables;
  JpegImage img;
  std::string problem;
  JpegStatus status = decodeJpeg(tables, image, ReadLimits::kMaxBitmapSide, ReadLimits::kMaxBitmapPixels, img, problem);
  if (status == JpegStatus::TooLarge) {
    withinCap(ctx, code, id, img.width, img.height);
    return;
  }
  if (status == JpegStatus::Failed) return ctx.warn(where(code, id) + ": " + problem + ": left out");
  if (status == JpegStatus::Partial) ctx.warn(where(code, id) + ": " + problem + ": the image is incomplete");
  size_t pixelCount = size_t(img.width) * size_t(img.height);
  if (!ctx.charge(pixelCount * 4, "bitmaps")) return;
  Bitmap bm;
  bm.width = img.width;
  bm.height = img.height;
  bm.pixels.resize(pixelCount);
  for (size_t i = 0; i < pixelCount; ++i)
    bm.pixels[i] = 0xFF000000u | uint32_t(img.rgb[i * 3]) << 16 | uint32_t(img.rgb[i * 3 + 1]) << 8 | img.rgb[i * 3 + 2];
  img.rgb = {};
  if (hasAlpha && !alpha.empty()) {
    std::vector<uint8_t> plane(pixelCount, 255);
    bool damaged = false;
    inflateInto(alpha, plane, damaged);
    if (damaged) ctx.warn(where(code, id) + ": the alpha plane is damaged or short");
    for (size_t i = 0; i < pixelCount; ++i) {
      uint32_t p = bm.pixels[i];
      bm.pixels[i] = premultiply(uint8_t(p >> 16), uint8_t(p >> 8), uint8_t(p), plane[i]);
    }
  }
  finish(bm);
  ctx.define(id, std::move(bm), code);
}

}  // namespace

void readBitmapTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  SwfReader r(body);
  uint16_t id = r.u16();
  if (!r.ok()) return ctx.warn(std::string(tag::name(code)) + " is damaged: left out");
  if (code == tag::DefineBitsLossless || code == tag::DefineBitsLossless2)
    readLossless(ctx, code, id, r);
  else
    readJpeg(ctx, code, id, r);
}

}  // namespace vorlo::player
