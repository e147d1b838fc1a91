// The byte stream behind StringStream: a buffer that grows on writes, with separate get and put
// positions, an open mode and the end-of-file and failure flags. Portable; no script values here.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorlo {

inline constexpr int kStreamIn = 1;
inline constexpr int kStreamOut = 2;
inline constexpr int kStreamEof = -1;

class MemoryStream {
 public:
  explicit MemoryStream(int mode = kStreamIn | kStreamOut) : mode_(mode) {}

  const std::vector<uint8_t>& bytes() const { return bytes_; }
  size_t length() const { return bytes_.size(); }
  size_t getPos() const { return get_; }
  size_t putPos() const { return put_; }
  bool eof() const { return eof_; }
  bool failed() const { return fail_; }
  int mode() const { return mode_; }

  // The next byte 0..255, or kStreamEof at the end (which sets the end-of-file flag).
  int get();
  // Up to n bytes into out; a short read sets the end-of-file flag. Returns how many were read.
  size_t read(void* out, size_t n);
  // Writes at the put position, overwriting and extending the content; false (with the failure
  // flag) when the stream is not writable or the memory runs out, and then nothing is written.
  bool write(const void* data, size_t n);
  bool put(uint8_t byte) { return write(&byte, 1); }
  // Steps the get position back one byte.
  void unget();
  // Puts one byte back before the get position: the byte there becomes `byte`.
  void putBack(uint8_t byte);

  // Position writes clear the state flags; positions beyond the content stay where they are put
  // (a read there is at the end, a write there fills the gap with zeros).
  void setGetPos(size_t pos);
  void setPutPos(size_t pos);
  // Clears the flags (as a position write does) and answers them so they can be restored.
  struct State {
    size_t get;
    bool eof, fail;
  };
  State saveState() const { return {get_, eof_, fail_}; }
  void restoreState(const State& s) {
    get_ = s.get;
    eof_ = s.eof;
    fail_ = s.fail;
  }

  // Takes bytes read elsewhere as the whole content: get position 0, put position at the end.
  void adopt(std::vector<uint8_t>&& bytes) {
    bytes_ = std::move(bytes);
    get_ = 0;
    put_ = bytes_.size();
  }

 private:
  std::vector<uint8_t> bytes_;
  size_t get_ = 0, put_ = 0;
  int mode_;
  bool eof_ = false, fail_ = false;
};

}  // namespace vorlo
