// Script source as the lexer reads it: one byte at a time (0 is the end of input), with a stack of
// pushed-back bytes and the line counter. The lexer is the only reader that advances the counter.
// Text as editors save it: a UTF-8 byte-order mark at the start is skipped, and a CR alone ends a
// line as LF and CR LF do (it reads as LF).
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace vorlo {

class SourceStream {
 public:
  virtual ~SourceStream() = default;

  // The next byte, or 0 at the end of input (a NUL byte in the source also ends it).
  int read();
  // Pushes a byte back; several may be pushed back and come out in reverse order. 0 is ignored.
  void unread(int byte);
  int peek();
  // Starts again from the first byte (line counter 0). False when the source cannot be re-read.
  bool rewind();
  // "string" for text held in memory, the path for files.
  virtual const char* name() const = 0;
  // Why the source cannot be script text (UTF-16, NUL bytes near its start), or null. Known once
  // the first byte has been read.
  const char* encodingProblem() const { return encodingProblem_; }

  int line = 0;  // the first line of a source is line 0

 protected:
  // Up to `capacity` more bytes of the source; 0 at its end.
  virtual size_t fill(char* buffer, size_t capacity) = 0;
  virtual bool restart() = 0;

 private:
  static constexpr size_t kBufferSize = 4096;
  char buffer_[kBufferSize];
  size_t position_ = 0;
  size_t available_ = 0;
  bool ended_ = false;
  bool started_ = false;
  const char* encodingProblem_ = nullptr;
  std::vector<char> pushedBack_;

  int fetch();
  void checkStart();
};

// Text in memory (not copied: it must outlive the stream).
class MemorySource final : public SourceStream {
 public:
  MemorySource(const char* text, size_t length) : text_(text), length_(length) {}
  explicit MemorySource(const std::string& text) : MemorySource(text.data(), text.size()) {}
  explicit MemorySource(std::string&& text) = delete;  // would outlive the text
  const char* name() const override { return "string"; }

 protected:
  size_t fill(char* buffer, size_t capacity) override;
  bool restart() override;

 private:
  const char* text_;
  size_t length_;
  size_t offset_ = 0;
};

// A file read through the stream's 4,096-byte buffer, never held as a whole.
class FileSource final : public SourceStream {
 public:
  // The path is ANSI text. Null when the file cannot be opened.
  static FileSource* open(const char* path);
  ~FileSource() override;
  const char* name() const override { return path_.c_str(); }

 protected:
  size_t fill(char* buffer, size_t capacity) override;
  bool restart() override;

 private:
  FileSource(std::FILE* file, const char* path) : file_(file), path_(path) {}
  std::FILE* file_;
  std::string path_;
};

}  // namespace vorlo
