#include "engine/source_stream.h"

#include <cstring>
#include <string_view>

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
  int byte = fetch();
  if (byte == '\r') {
    int next = fetch();
    if (next != '\n') byte = '\n';
    unread(next);
  }
  return byte;
}

int SourceStream::fetch() {
  if (ended_) return 0;
  if (position_ == available_) {
    available_ = fill(buffer_, kBufferSize);
    position_ = 0;
    if (!started_) checkStart();
    if (available_ == position_) {
      ended_ = true;
      return 0;
    }
  }
  int byte = static_cast<unsigned char>(buffer_[position_++]);
  if (byte == 0) ended_ = true;
  return byte;
}

// The first bytes: a UTF-8 mark is skipped; UTF-16 (with its mark, or shown by NUL bytes after the
// first two letters) is not read at all. A NUL byte elsewhere ends the source as before.
void SourceStream::checkStart() {
  started_ = true;
  std::string_view head(buffer_, available_);
  if (head.substr(0, 3) == "\xEF\xBB\xBF") position_ = 3;
  if (head.substr(0, 2) == "\xFF\xFE" || head.substr(0, 2) == "\xFE\xFF")
    encodingProblem_ = "the source is UTF-16 text; save it as UTF-8";
  else if (head.size() >= 4 && head[0] != 0 && head[1] == 0 && head[2] != 0 && head[3] == 0)
    encodingProblem_ = "the source holds NUL bytes (UTF-16 text or not text at all); save it as UTF-8 text";
  if (encodingProblem_) position_ = available_;
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
  started_ = false;
  encodingProblem_ = nullptr;
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
