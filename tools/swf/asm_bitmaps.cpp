// bitmap (DefineBitsLossless 1-2 from pixel rows or a pattern) and jpeg (DefineBits with
// JPEGTables, DefineBitsJPEG2-4 from a file or a generated image).
#include <zlib.h>

#include <fstream>
#include <iterator>
#include <map>

#include "player/swf/tag_codes.h"
#include "tools/swf/assembler_internal.h"
#include "tools/swf/jpeg_encoder.h"

namespace vorlo::swfasm {

using namespace player;

namespace {

std::vector<uint8_t> deflate(const std::vector<uint8_t>& data, int line) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  if (compress2(out.data(), &size, data.data(), uLong(data.size()), 9) != Z_OK)
    throw AsmError(line, "zlib could not compress the pixels");
  out.resize(size);
  return out;
}

// Straight colours, row by row: from `row` statements or pattern=.
std::vector<Rgba> readPixels(Args& a, const Statement& s, int width, int height) {
  std::vector<Rgba> px;
  if (auto pattern = a.option("pattern")) {
    auto parts = splitList(*pattern, ':');
    const std::string& kind = parts[0].text;
    auto args = parts.size() > 1 ? splitList(parts[1]) : std::vector<Word>{};
    px.resize(size_t(width) * size_t(height));
    if (kind == "solid" && args.size() == 1) {
      std::fill(px.begin(), px.end(), parseColor(args[0]));
    } else if (kind == "checker" && args.size() == 3) {
      Rgba c1 = parseColor(args[0]), c2 = parseColor(args[1]);
      int cell = int(parseInt(args[2], 1, 65535));
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) px[size_t(y) * size_t(width) + size_t(x)] = ((x / cell + y / cell) & 1) ? c2 : c1;
    } else if (kind == "gradient" && args.empty()) {
      // Red grows to the right, green downwards: every pixel tells where it is.
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          px[size_t(y) * size_t(width) + size_t(x)] = {uint8_t(width > 1 ? x * 255 / (width - 1) : 0),
                                                       uint8_t(height > 1 ? y * 255 / (height - 1) : 0), 128, 255};
    } else {
      a.fail("pattern= is solid:#colour, checker:#colour,#colour,CELL or gradient");
    }
    if (!s.block.empty()) a.fail("give pixels either by pattern= or by rows, not both");
    return px;
  }
  for (const Statement& row : s.block) {
    if (row.keyword() != "row") throw AsmError(row.line, "a bitmap's block holds row statements");
    Args r(row);
    int n = 0;
    while (auto w = r.optionalPositional()) {
      px.push_back(parseColor(*w));
      ++n;
    }
    r.finish();
    if (n != width) throw AsmError(row.line, "the row has " + std::to_string(n) + " pixels, not " + std::to_string(width));
  }
  if (px.size() != size_t(width) * size_t(height))
    a.fail("the bitmap has " + std::to_string(px.size() / std::max(width, 1)) + " rows, not " + std::to_string(height));
  return px;
}

uint8_t premul(uint8_t c, uint8_t a) { return uint8_t((c * a + 127) / 255); }

}  // namespace

void assembleBitmap(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int format = int(parseInt(a.option("format").value_or(Word{"24"}), 0, 32));
  if (format != 8 && format != 15 && format != 24 && format != 32) a.fail("format= is 8, 15, 24 or 32");
  int version = format == 32 ? 2 : 1;
  if (auto v = a.option("version")) version = int(parseInt(*v, 1, 2));
  if (format == 32 && version == 1) a.fail("format=32 is DefineBitsLossless2 (version=2)");
  int width = int(parseInt(a.option("width").value_or(Word{"0", false, s.line}), 0, 65535));
  int height = int(parseInt(a.option("height").value_or(Word{"0", false, s.line}), 0, 65535));
  bool stored = a.flag("premultiplied");  // rows hold the stored (premultiplied) values as they are
  std::vector<Rgba> px = readPixels(a, s, width, height);
  a.finish();
  bool alpha = version == 2;
  auto store = [&](Rgba c) {
    if (alpha && !stored) return Rgba{premul(c.r, c.a), premul(c.g, c.a), premul(c.b, c.a), c.a};
    return c;
  };
  std::vector<uint8_t> data;
  uint8_t code = 5;
  uint8_t paletteSize = 0;
  if (format == 8) {
    code = 3;
    std::map<uint32_t, uint8_t> index;
    std::vector<Rgba> palette;
    for (Rgba c : px) {
      uint32_t key = uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | (alpha ? c.a : 255);
      if (index.count(key)) continue;
      if (palette.size() == 256) a.fail("a colour-mapped bitmap holds at most 256 colours");
      index[key] = uint8_t(palette.size());
      palette.push_back(c);
    }
    if (palette.empty()) palette.push_back(Rgba{});
    paletteSize = uint8_t(palette.size() - 1);
    for (Rgba c : palette) {
      Rgba v = store(c);
      data.insert(data.end(), {v.r, v.g, v.b});
      if (alpha) data.push_back(v.a);
    }
    size_t rowBytes = (size_t(width) + 3) & ~size_t(3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        Rgba c = px[size_t(y) * size_t(width) + size_t(x)];
        data.push_back(index[uint32_t(c.r) << 24 | uint32_t(c.g) << 16 | uint32_t(c.b) << 8 | (alpha ? c.a : 255)]);
      }
      data.resize(data.size() + rowBytes - size_t(width), 0);
    }
  } else if (format == 15) {
    code = 4;
    size_t rowBytes = (size_t(width) * 2 + 3) & ~size_t(3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        Rgba c = px[size_t(y) * size_t(width) + size_t(x)];
        unsigned v = unsigned(c.r >> 3) << 10 | unsigned(c.g >> 3) << 5 | unsigned(c.b >> 3);
        data.push_back(uint8_t(v >> 8));
        data.push_back(uint8_t(v));
      }
      data.resize(data.size() + rowBytes - size_t(width) * 2, 0);
    }
  } else {
    for (Rgba c : px) {
      Rgba v = store(c);
      data.insert(data.end(), {alpha ? v.a : uint8_t(0xFF), v.r, v.g, v.b});
    }
  }
  SwfWriter w;
  w.u16(id);
  w.u8(code);
  w.u16(uint32_t(width));
  w.u16(uint32_t(height));
  if (code == 3) w.u8(paletteSize);
  w.data(deflate(data, s.line));
  out.add(version == 2 ? tag::DefineBitsLossless2 : tag::DefineBitsLossless, w.bytes, true);
  (void)ctx;
}

void assembleJpeg(AsmContext& ctx, const Statement& s, TagList& out) {
  Args a(s);
  uint16_t id = parseId(a.positional("the character id"));
  int version = int(parseInt(a.option("version").value_or(Word{"2"}), 1, 4));
  bool strayPair = a.flag("straypair");
  std::vector<uint8_t> jpeg;
  int width = 0, height = 0;
  if (auto file = a.option("file")) {
    std::string path = file->text;
    if (!ctx.options.baseDir.empty() && !path.empty() && path[0] != '/') path = ctx.options.baseDir + "/" + path;
    std::ifstream in(path, std::ios::binary);
    if (!in) a.fail("cannot read '" + path + "'");
    jpeg.assign(std::istreambuf_iterator<char>(in), {});
    if (a.has("pattern")) a.fail("give either file= or pattern=");
  } else {
    width = int(parseInt(a.option("width").value_or(Word{"0", false, s.line}), 1, 8191));
    height = int(parseInt(a.option("height").value_or(Word{"0", false, s.line}), 1, 8191));
    int quality = int(parseInt(a.option("quality").value_or(Word{"90"}), 1, 100));
    Statement noRows = s;
    noRows.block.clear();
    std::vector<Rgba> px = readPixels(a, noRows, width, height);
    std::vector<uint8_t> rgb;
    rgb.reserve(px.size() * 3);
    for (Rgba c : px) rgb.insert(rgb.end(), {c.r, c.g, c.b});
    std::string error;
    if (!encodeJpeg(rgb, width, height, quality, jpeg, error)) a.fail("libjpeg: " + error);
  }
  std::optional<uint16_t> deblock;
  if (auto d = a.option("deblock")) deblock = uint16_t(parseInt(*d, 0, 65535));
  // The alpha plane: rows of 0..255 in the block, or alpha=VALUE for every pixel.
  std::vector<uint8_t> alpha;
  std::optional<Word> alphaValue = a.option("alpha");
  a.finish();
  if (version >= 3) {
    if (alphaValue) {
      if (width == 0) a.fail("alpha= needs a generated image (width= and height=)");
      alpha.assign(size_t(width) * size_t(height), uint8_t(parseInt(*alphaValue, 0, 255)));
    }
    for (const Statement& row : s.block) {
      if (row.keyword() != "alpha") throw AsmError(row.line, "a jpeg's block holds alpha rows");
      Args r(row);
      while (auto v = r.optionalPositional()) alpha.push_back(uint8_t(parseInt(*v, 0, 255)));
      r.finish();
    }
  } else if (!s.block.empty() || alphaValue) {
    a.fail("an alpha plane needs version=3 or 4");
  }
  auto withPair = [&](std::vector<uint8_t> d) {
    if (strayPair) d.insert(d.begin(), {0xFF, 0xD9, 0xFF, 0xD8});
    return d;
  };
  SwfWriter w;
  w.u16(id);
  if (version == 1) {
    std::vector<uint8_t> tables, image;
    splitJpegTables(jpeg, tables, image);
    if (!ctx.jpegTablesWritten) {
      out.add(tag::JpegTables, tables);
      ctx.jpegTables = tables;
      ctx.jpegTablesWritten = true;
    } else if (!ctx.jpegTables.empty() && tables != ctx.jpegTables) {
      a.fail("DefineBits images share the movie's one JPEGTables: give them the same quality");
    }
    w.data(withPair(image));
    out.add(tag::DefineBits, w.bytes, true);
    return;
  }
  std::vector<uint8_t> data = withPair(jpeg);
  if (version == 2) {
    w.data(data);
    out.add(tag::DefineBitsJpeg2, w.bytes, true);
    return;
  }
  w.u32(uint32_t(data.size()));
  if (version == 4) w.u16(deblock.value_or(0));
  w.data(data);
  if (!alpha.empty()) w.data(deflate(alpha, s.line));
  out.add(version == 3 ? tag::DefineBitsJpeg3 : tag::DefineBitsJpeg4, w.bytes, true);
}

}  // namespace vorlo::swfasm
