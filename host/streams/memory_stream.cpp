#include "host/streams/memory_stream.h"

#include <cstring>
#include <new>

namespace vorlo {

int MemoryStream::get() {
  if (!(mode_ & kStreamIn) || get_ >= bytes_.size()) {
    eof_ = true;
    return kStreamEof;
  }
  return bytes_[get_++];
}

size_t MemoryStream::read(void* out, size_t n) {
  size_t available = (mode_ & kStreamIn) && get_ < bytes_.size() ? bytes_.size() - get_ : 0;
  size_t count = n < available ? n : available;
  if (count) std::memcpy(out, bytes_.data() + get_, count);
  get_ += count;
  if (count < n) eof_ = true;
  return count;
}

bool MemoryStream::write(const void* data, size_t n) {
  if (!(mode_ & kStreamOut) || fail_) {
    fail_ = true;
    return false;
  }
  if (n == 0) return true;
  if (put_ > SIZE_MAX - n) {
    fail_ = true;
    return false;
  }
  size_t end = put_ + n;
  try {
    if (end > bytes_.size()) {
      if (end > bytes_.capacity() && bytes_.capacity() > SIZE_MAX / 2 - n) throw std::bad_alloc();
      bytes_.resize(end);
    }
  } catch (const std::exception&) {
    fail_ = true;
    return false;
  }
  std::memcpy(bytes_.data() + put_, data, n);
  put_ = end;
  return true;
}

void MemoryStream::unget() {
  if (get_ > 0) {
    --get_;
    eof_ = false;
  } else {
    fail_ = true;
  }
}

void MemoryStream::putBack(uint8_t byte) {
  if (get_ > 0 && get_ <= bytes_.size()) {
    bytes_[--get_] = byte;
    eof_ = false;
  } else {
    fail_ = true;
  }
}

void MemoryStream::setGetPos(size_t pos) {
  eof_ = fail_ = false;
  get_ = pos;
}

void MemoryStream::setPutPos(size_t pos) {
  eof_ = fail_ = false;
  put_ = pos;
}

}  // namespace vorlo
