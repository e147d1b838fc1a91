#include "tools/swf/jpeg_encoder.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <new>

#include <jpeglib.h>

namespace vorlo::swfasm {

namespace {

// C-style from here to encodeJpeg: libjpeg leaves errors through longjmp.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

struct Destination {
  jpeg_destination_mgr pub;
  std::vector<uint8_t>* out;
  JOCTET buffer[4096];
};

void onError(j_common_ptr cinfo) {
  ErrorManager* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}
void onOutput(j_common_ptr) {}

void initDestination(j_compress_ptr cinfo) {
  Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = sizeof d->buffer;
}
boolean emptyBuffer(j_compress_ptr cinfo) {
  Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
  d->out->insert(d->out->end(), d->buffer, d->buffer + sizeof d->buffer);
  d->pub.next_output_byte = d->buffer;
  d->pub.free_in_buffer = sizeof d->buffer;
  return TRUE;
}
void termDestination(j_compress_ptr cinfo) {
  Destination* d = reinterpret_cast<Destination*>(cinfo->dest);
  d->out->insert(d->out->end(), d->buffer, d->buffer + (sizeof d->buffer - d->pub.free_in_buffer));
}

int runEncode(jpeg_compress_struct* cinfo, ErrorManager* err, Destination* dest, const uint8_t* rgb, int width,
              int height, int quality) {
  cinfo->err = jpeg_std_error(&err->pub);
  err->pub.error_exit = onError;
  err->pub.output_message = onOutput;
  err->message[0] = 0;
  if (setjmp(err->jump)) {
    jpeg_destroy_compress(cinfo);
    return 0;
  }
  jpeg_create_compress(cinfo);
  dest->pub.init_destination = initDestination;
  dest->pub.empty_output_buffer = emptyBuffer;
  dest->pub.term_destination = termDestination;
  cinfo->dest = &dest->pub;
  cinfo->image_width = JDIMENSION(width);
  cinfo->image_height = JDIMENSION(height);
  cinfo->input_components = 3;
  cinfo->in_color_space = JCS_RGB;
  jpeg_set_defaults(cinfo);
  jpeg_set_quality(cinfo, quality, TRUE);
  jpeg_start_compress(cinfo, TRUE);
  while (cinfo->next_scanline < cinfo->image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t(cinfo->next_scanline) * size_t(width) * 3);
    jpeg_write_scanlines(cinfo, &row, 1);
  }
  jpeg_finish_compress(cinfo);
  jpeg_destroy_compress(cinfo);
  return 1;
}

}  // namespace

bool encodeJpeg(const std::vector<uint8_t>& rgb, int width, int height, int quality, std::vector<uint8_t>& out,
                std::string& error) {
  jpeg_compress_struct cinfo;
  ErrorManager err;
  Destination dest;
  out.clear();
  dest.out = &out;
  if (!runEncode(&cinfo, &err, &dest, rgb.data(), width, height, quality)) {
    error = err.message;
    return false;
  }
  return true;
}

void splitJpegTables(const std::vector<uint8_t>& jpeg, std::vector<uint8_t>& tables, std::vector<uint8_t>& image) {
  tables = {0xFF, 0xD8};
  image = {0xFF, 0xD8};
  size_t i = 2;
  while (i + 4 <= jpeg.size() && jpeg[i] == 0xFF) {
    uint8_t marker = jpeg[i + 1];
    if (marker == 0xDA) break;
    size_t length = size_t(jpeg[i + 2]) << 8 | jpeg[i + 3];
    auto& to = (marker == 0xDB || marker == 0xC4) ? tables : image;
    to.insert(to.end(), jpeg.begin() + long(i), jpeg.begin() + long(std::min(jpeg.size(), i + 2 + length)));
    i += 2 + length;
  }
  image.insert(image.end(), jpeg.begin() + long(std::min(i, jpeg.size())), jpeg.end());
  tables.insert(tables.end(), {0xFF, 0xD9});
}

}  // namespace vorlo::swfasm
