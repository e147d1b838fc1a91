#include "util/png/png_io.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "util/file.h"

namespace vorlo {

namespace {

// libpng reports a failure by calling our error function, which may not return: it jumps back to the
// setjmp of the step that called into libpng (readHeader, readRows, writeAll). Between that setjmp
// and the jump there are only libpng's C frames and the callbacks below, none of which holds an
// object with a destructor, so the jump skips no cleanup. Everything C++ (pixel buffers, row
// tables, the output) lives in the callers' frames or behind the context, and the png structures
// are freed by owners outside the steps. A throw through libpng is no alternative: its C frames
// carry no unwind information in the 32-bit Windows build.
struct Context {
  std::jmp_buf jump;
  char message[200] = "";
  bool truncated = false;       // the input ended inside the picture
  const uint8_t* data = nullptr;  // reading: the input and how far it has been read
  size_t size = 0;
  size_t position = 0;
  std::vector<uint8_t>* out = nullptr;  // writing
};

Context* contextOf(png_structp png) { return static_cast<Context*>(png_get_error_ptr(png)); }

[[noreturn]] void onError(png_structp png, png_const_charp message) {
  Context* ctx = contextOf(png);
  std::snprintf(ctx->message, sizeof ctx->message, "%s", message ? message : "unknown error");
  std::longjmp(ctx->jump, 1);
}

// Problems libpng can read past (a damaged text chunk, a colour profile it does not like) leave the
// picture intact; they are not worth a message.
void onWarning(png_structp, png_const_charp) {}

void readBytes(png_structp png, png_bytep into, size_t n) {
  Context* ctx = static_cast<Context*>(png_get_io_ptr(png));
  if (n > ctx->size - ctx->position) {
    ctx->truncated = true;
    png_error(png, "the data ends early");
  }
  std::memcpy(into, ctx->data + ctx->position, n);
  ctx->position += n;
}

bool append(std::vector<uint8_t>* out, const uint8_t* data, size_t n) noexcept {
  try {
    out->insert(out->end(), data, data + n);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void writeBytes(png_structp png, png_bytep data, size_t n) {
  Context* ctx = static_cast<Context*>(png_get_io_ptr(png));
  if (!append(ctx->out, data, n)) png_error(png, "not enough memory for the PNG data");
}

void flushNothing(png_structp) {}

struct ReadStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~ReadStructs() { png_destroy_read_struct(&png, info ? &info : nullptr, nullptr); }
};

struct WriteStructs {
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~WriteStructs() { png_destroy_write_struct(&png, info ? &info : nullptr); }
};

struct Header {
  uint32_t width, height;
  size_t rowBytes;
};

// Reads the chunks before the image data and asks libpng for 8-bit RGBA rows whatever the file holds.
bool readHeader(Context* ctx, png_structp png, png_infop info, Header* header) {
  if (setjmp(ctx->jump)) return false;
  png_read_info(png, info);
  int colorType = png_get_color_type(png, info);
  int depth = png_get_bit_depth(png, info);
  bool keyed = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (keyed) png_set_tRNS_to_alpha(png);
  if (depth == 16) png_set_scale_16(png);  // rounds to the nearest 8-bit value
  if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !keyed) png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(png);
  // No gamma or colour-profile correction: pictures show with the values they store, as every
  // other picture the player draws.
  png_read_update_info(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);
  header->rowBytes = png_get_rowbytes(png, info);
  if (png_get_bit_depth(png, info) != 8 || png_get_channels(png, info) != 4) {
    png_error(png, "unsupported pixel format");
  }
  return true;
}

bool readRows(Context* ctx, png_structp png, png_infop info, png_bytepp rows) {
  if (setjmp(ctx->jump)) return false;
  png_read_image(png, rows);
  png_read_end(png, nullptr);  // the chunks after the image data, up to the end marker
  return true;
}

bool writeAll(Context* ctx, png_structp png, png_infop info, const RgbaImage& image, png_bytepp rows) {
  if (setjmp(ctx->jump)) return false;
  png_set_write_fn(png, ctx, writeBytes, flushNothing);
  png_set_IHDR(png, info, image.width, image.height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

bool fail(std::string* error, std::string text) {
  if (error) *error = std::move(text);
  return false;
}

std::string sizeText(uint64_t width, uint64_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

}  // namespace

bool readPng(const uint8_t* data, size_t size, RgbaImage* image, std::string* error) {
  *image = RgbaImage();
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return fail(error, "not a PNG file (no PNG signature)");

  Context ctx;
  ctx.data = data;
  ctx.size = size;
  ReadStructs s;
  // libpng's own error handling guards the creation; ours takes over once the structures exist.
  s.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.png || !s.info) return fail(error, "not enough memory to read a PNG");
  png_set_error_fn(s.png, &ctx, onError, onWarning);
  png_set_read_fn(s.png, &ctx, readBytes);

  auto damaged = [&] {
    return fail(error, ctx.truncated ? std::string("truncated PNG: the data ends before the picture does")
                                     : "damaged PNG: " + std::string(ctx.message));
  };
  Header header;
  if (!readHeader(&ctx, s.png, s.info, &header)) return damaged();
  uint64_t pixels = uint64_t(header.width) * header.height;
  if (pixels > kMaxPngPixels) {
    return fail(error, "PNG picture too large (" + sizeText(header.width, header.height) + " pixels)");
  }

  RgbaImage result;
  std::vector<png_bytep> rows;
  try {
    result.pixels.resize(static_cast<size_t>(pixels) * 4);
    rows.resize(header.height);
  } catch (const std::bad_alloc&) {
    return fail(error, "not enough memory for a " + sizeText(header.width, header.height) + " PNG picture");
  }
  for (uint32_t y = 0; y < header.height; ++y) rows[y] = result.pixels.data() + size_t(y) * header.rowBytes;
  if (!readRows(&ctx, s.png, s.info, rows.data())) return damaged();

  result.width = header.width;
  result.height = header.height;
  *image = std::move(result);
  return true;
}

bool writePng(const RgbaImage& image, std::vector<uint8_t>* out, std::string* error) {
  out->clear();
  uint64_t expected = uint64_t(image.width) * image.height * 4;
  if (image.width == 0 || image.height == 0) {
    return fail(error, "cannot write an empty PNG picture (" + sizeText(image.width, image.height) + ")");
  }
  if (uint64_t(image.width) * image.height > kMaxPngPixels) {
    return fail(error, "PNG picture too large (" + sizeText(image.width, image.height) + " pixels)");
  }
  if (image.pixels.size() != expected) {
    return fail(error, "a " + sizeText(image.width, image.height) + " picture needs " + std::to_string(expected) +
                           " bytes of RGBA, not " + std::to_string(image.pixels.size()));
  }

  Context ctx;
  ctx.out = out;
  WriteStructs s;
  s.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  if (s.png) s.info = png_create_info_struct(s.png);
  if (!s.png || !s.info) return fail(error, "not enough memory to write a PNG");
  png_set_error_fn(s.png, &ctx, onError, onWarning);

  std::vector<png_bytep> rows;
  try {
    rows.resize(image.height);
  } catch (const std::bad_alloc&) {
    return fail(error, "not enough memory to write a PNG");
  }
  // libpng's row type is not const, but writing only reads the rows.
  auto* base = const_cast<png_bytep>(image.pixels.data());
  for (uint32_t y = 0; y < image.height; ++y) rows[y] = base + size_t(y) * image.width * 4;
  if (!writeAll(&ctx, s.png, s.info, image, rows.data())) {
    out->clear();
    return fail(error, "cannot write the PNG: " + std::string(ctx.message));
  }
  return true;
}

bool readPngFile(const std::string& path, RgbaImage* image, std::string* error) {
  *image = RgbaImage();
  File file;
  if (!file.open(path, File::Mode::Read)) return fail(error, "cannot open " + path);
  uint64_t size = file.size();
  // No PNG this program reads comes near this; the limit keeps a huge file from being taken whole.
  constexpr uint64_t kMaxFileBytes = uint64_t(1) << 30;
  if (size > kMaxFileBytes) return fail(error, path + ": file too large for a PNG picture");
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(size));
  } catch (const std::bad_alloc&) {
    return fail(error, path + ": not enough memory to read the file");
  }
  if (!file.readExact(bytes.data(), bytes.size())) return fail(error, "cannot read " + path);
  std::string why;
  if (!readPng(bytes.data(), bytes.size(), image, &why)) return fail(error, path + ": " + why);
  return true;
}

bool writePngFile(const std::string& path, const RgbaImage& image, std::string* error) {
  std::vector<uint8_t> bytes;
  std::string why;
  if (!writePng(image, &bytes, &why)) return fail(error, path + ": " + why);
  File file;
  if (!file.open(path, File::Mode::Create) || !file.write(bytes.data(), bytes.size())) {
    return fail(error, "cannot write " + path);
  }
  return true;
}

}  // namespace vorlo
