// MPEG audio through libmpg123's feed interface.
#include <mpg123.h>

#include "util/mp3.h"

namespace vorlo {

namespace {

class Mpg123Stream final : public Mp3Stream {
 public:
  explicit Mpg123Stream(mpg123_handle* handle) : handle_(handle) {}
  ~Mpg123Stream() override { mpg123_delete(handle_); }

  bool decode(std::span<const uint8_t> data, std::vector<int16_t>& out) override {
    unsigned char buffer[16384];
    const unsigned char* in = data.data();
    size_t inSize = data.size();
    for (int guard = 0; guard < 1 << 20; ++guard) {
      size_t done = 0;
      int r = mpg123_decode(handle_, in, inSize, buffer, sizeof buffer, &done);
      in = nullptr;
      inSize = 0;
      if (r == MPG123_NEW_FORMAT) {
        long rate = 0;
        int ch = 0, encoding = 0;
        mpg123_getformat(handle_, &rate, &ch, &encoding);
        hertz = int(rate);
        channels = ch;
      }
      const auto* samples = reinterpret_cast<const int16_t*>(buffer);
      out.insert(out.end(), samples, samples + done / 2);
      if (r == MPG123_NEED_MORE) return true;
      if (r != MPG123_OK && r != MPG123_NEW_FORMAT && r != MPG123_DONE) return false;
      if (r == MPG123_DONE) return true;
    }
    return false;
  }

 private:
  mpg123_handle* handle_;
};

}  // namespace

std::unique_ptr<Mp3Stream> Mp3Stream::open() {
  static const bool initialized = mpg123_init() == MPG123_OK;
  if (!initialized) return nullptr;
  int error = 0;
  mpg123_handle* handle = mpg123_new(nullptr, &error);
  if (!handle) return nullptr;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  mpg123_format_none(handle);
  for (long rate : {8000L, 11025L, 12000L, 16000L, 22050L, 24000L, 32000L, 44100L, 48000L})
    mpg123_format(handle, rate, MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
  if (mpg123_open_feed(handle) != MPG123_OK) {
    mpg123_delete(handle);
    return nullptr;
  }
  return std::make_unique<Mpg123Stream>(handle);
}

}  // namespace vorlo
