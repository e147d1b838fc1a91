#include "engine/source_stream.h"

#include <cstring>

#ifdef _WIN32
#include "engine/ansi.h"
#endif

namespace vorlo {

int SourceStream::read() {
  if (!pushedBack_.empty()) {
    int byte = static_cast<unsigned char>(pushedBack_.back());
    pushedBack_.pop_back();
    return byte;
  }
  if (ended_) return 0;
  if (position_ == available_) {
    available_ = fill(buffer_, kBufferSize);
    position_ = 0;
    if (available_ == 0) {
      ended_ = true;
      return 0;
    }
  }
  int byte = static_cast<unsigned char>(buffer_[position_++]);
  if (byte == 0) ended_ = true;
  return byte;
}

void SourceStream::unread(int byte) {
  if (byte != 0) pushedBack_.push_back(static_cast<char>(byte));
}

int SourceStream::peek() {
  int byte = read();
  unread(byte);
  return byte;
}

bool SourceStream::rewind() {
  if (!restart()) return false;
  pushedBack_.clear();
  position_ = available_ = 0;
  ended_ = false;
  line = 0;
  return true;
}

size_t MemorySource::fill(char* buffer, size_t capacity) {
  size_t n = length_ - offset_ < capacity ? length_ - offset_ : capacity;
  std::memcpy(buffer, text_ + offset_, n);
  offset_ += n;
  return n;
}

bool MemorySource::restart() {
  offset_ = 0;
  return true;
}

FileSource* FileSource::open(const char* path) {
#ifdef _WIN32
  std::u16string wide = ansiToUtf16(path, std::strlen(path));
  std::FILE* file = _wfopen(reinterpret_cast<const wchar_t*>(wide.c_str()), L"rb");
#else
  std::FILE* file = std::fopen(path, "rb");
#endif
  if (!file) return nullptr;
  auto* source = new (std::nothrow) FileSource(file, path);
  if (!source) std::fclose(file);
  return source;
}

FileSource::~FileSource() { std::fclose(file_); }

size_t FileSource::fill(char* buffer, size_t capacity) {
  return std::fread(buffer, 1, capacity, file_);
}

bool FileSource::restart() { return std::fseek(file_, 0, SEEK_SET) == 0; }

}  // namespace vorlo
