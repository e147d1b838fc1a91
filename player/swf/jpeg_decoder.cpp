#include "player/swf/jpeg_decoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>

// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace vorlo::player {

namespace {

// Everything below up to decodeJpeg is C-style: plain structures and functions without locals
// that have destructors, because libjpeg leaves errors through longjmp.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct MemorySource {
  jpeg_source_mgr pub;
  bool ranOut;
};

const JOCTET kEndOfImage[2] = {0xFF, 0xD9};

void onError(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}
void onOutput(j_common_ptr) {}  // warnings are counted, not printed

void initSource(j_decompress_ptr) {}
// Data that ends early ends the image there: libjpeg is handed an end-of-image marker.
boolean fillInput(j_decompress_ptr cinfo) {
  MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
  src->ranOut = true;
  src->pub.next_input_byte = kEndOfImage;
  src->pub.bytes_in_buffer = 2;
  cinfo->err->num_warnings++;
  return TRUE;
}
void skipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  MemorySource* src = reinterpret_cast<MemorySource*>(cinfo->src);
  if (size_t(count) > src->pub.bytes_in_buffer) {
    fillInput(cinfo);
    return;
  }
  src->pub.next_input_byte += count;
  src->pub.bytes_in_buffer -= size_t(count);
}
void termSource(j_decompress_ptr) {}

void setSource(MemorySource* src, const uint8_t* data, size_t size) {
  src->pub.next_input_byte = data;
  src->pub.bytes_in_buffer = size;
  src->pub.init_source = initSource;
  src->pub.fill_input_buffer = fillInput;
  src->pub.skip_input_data = skipInput;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = termSource;
  src->ranOut = false;
}

struct Request {
  const uint8_t* tables;
  size_t tablesSize;
  const uint8_t* data;
  size_t size;
  int maxSide;
  uint32_t maxPixels;
  // Filled in:
  int width, height, rows;
  bool tooLarge, unsupported;
  uint8_t* (*allocate)(void* owner, size_t bytes);
  void* owner;
};

// 1: decoded (all rows or, after an error mid-image, `rows` of them); 0: nothing usable.
int runDecode(jpeg_decompress_struct* cinfo, ErrorManager* err, MemorySource* src, Request* req) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = onError;
  err->pub.output_message = onOutput;
  err->message[0] = 0;
  if (setjmp(err->jump)) {
    jpeg_destroy_decompress(cinfo);
    return req->rows > 0 ? 1 : 0;
  }
  jpeg_create_decompress(cinfo);
  cinfo->src = &src->pub;
  if (req->tablesSize > 0) {
    setSource(src, req->tables, req->tablesSize);
    jpeg_read_header(cinfo, FALSE);
  }
  setSource(src, req->data, req->size);
  if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(cinfo);
    return 0;
  }
  if (cinfo->image_width > unsigned(req->maxSide) || cinfo->image_height > unsigned(req->maxSide) ||
      uint64_t(cinfo->image_width) * cinfo->image_height > req->maxPixels) {
    req->width = int(cinfo->image_width);
    req->height = int(cinfo->image_height);
    req->tooLarge = true;
    jpeg_destroy_decompress(cinfo);
    return 0;
  }
  if (cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK) {
    req->unsupported = true;
    jpeg_destroy_decompress(cinfo);
    return 0;
  }
  cinfo->out_color_space = JCS_RGB;
  jpeg_start_decompress(cinfo);
  req->width = int(cinfo->output_width);
  req->height = int(cinfo->output_height);
  uint8_t* pixels = req->allocate(req->owner, size_t(req->width) * size_t(req->height) * 3);
  if (!pixels) {
    jpeg_destroy_decompress(cinfo);
    return 0;
  }
  while (cinfo->output_scanline < cinfo->output_height) {
    JSAMPROW row = pixels + size_t(cinfo->output_scanline) * size_t(req->width) * 3;
    if (jpeg_read_scanlines(cinfo, &row, 1) != 1) break;
    req->rows = int(cinfo->output_scanline);
  }
  jpeg_finish_decompress(cinfo);
  jpeg_destroy_decompress(cinfo);
  return 1;
}

uint8_t* allocateRgb(void* owner, size_t bytes) {
  try {
    auto* v = static_cast<std::vector<uint8_t>*>(owner);
    v->assign(bytes, 0);
    return v->data();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

JpegStatus decodeJpeg(std::span<const uint8_t> tables, std::span<const uint8_t> data, int maxSide,
                      uint32_t maxPixels, JpegImage& out, std::string& problem) {
  std::vector<uint8_t> cleanTables = cleanSwfJpeg(tables);
  std::vector<uint8_t> cleanData = cleanSwfJpeg(data);
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  MemorySource src;
  Request req{};
  req.tables = cleanTables.data();
  req.tablesSize = cleanTables.size();
  req.data = cleanData.data();
  req.size = cleanData.size();
  req.maxSide = maxSide;
  req.maxPixels = maxPixels;
  req.allocate = allocateRgb;
  req.owner = &out.rgb;
  out.rgb.clear();
  int ok = runDecode(&cinfo, &err, &src, &req);
  out.width = req.width;
  out.height = req.height;
  out.rowsDecoded = req.rows;
  if (req.tooLarge) {
    problem = "the image is " + std::to_string(req.width) + " x " + std::to_string(req.height) +
              " pixels, beyond the limit";
    out.rgb.clear();
    return JpegStatus::TooLarge;
  }
  if (req.unsupported) {
    problem = "CMYK JPEG images are not supported";
    return JpegStatus::Failed;
  }
  if (!ok) {
    problem = err.message[0] ? err.message : "not a JPEG image";
    out.rgb.clear();
    out.width = out.height = 0;
    return JpegStatus::Failed;
  }
  if (req.rows < req.height || err.message[0] || src.ranOut) {
    problem = err.message[0] ? err.message : "the JPEG data ends early";
    return JpegStatus::Partial;
  }
  return JpegStatus::Ok;
}

std::vector<uint8_t> cleanSwfJpeg(std::span<const uint8_t> data) {
  std::vector<uint8_t> out;
  out.reserve(data.size());
  size_t i = 0, n = data.size();
  if (n >= 4 && data[0] == 0xFF && data[1] == 0xD9 && data[2] == 0xFF && data[3] == 0xD8) i = 4;
  bool started = false;
  while (i + 1 < n) {
    if (data[i] != 0xFF) break;  // not a marker: copy the rest as it is
    uint8_t marker = data[i + 1];
    if (marker == 0xFF) {  // fill byte
      ++i;
      continue;
    }
    if (marker == 0xD8) {  // start of image: keep the first only
      if (!started) out.insert(out.end(), {0xFF, 0xD8});
      started = true;
      i += 2;
      continue;
    }
    if (marker == 0xD9) {
      // An end of image followed by a new start inside the stream is the stray pair; a final
      // one ends the data.
      if (i + 3 < n && data[i + 2] == 0xFF && data[i + 3] == 0xD8) {
        i += 4;
        continue;
      }
      break;
    }
    if (marker == 0xDA || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) break;  // image data follows
    if (i + 3 >= n) break;
    size_t length = size_t(data[i + 2]) << 8 | data[i + 3];
    if (length < 2 || i + 2 + length > n) break;
    out.insert(out.end(), data.begin() + i, data.begin() + i + 2 + length);
    i += 2 + length;
  }
  out.insert(out.end(), data.begin() + std::min(i, n), data.end());
  return out;
}

}  // namespace vorlo::player
