// Reading and rewriting the resource section of a PE file (32- or 64-bit) in plain C++, so packages
// are built the same way on Linux and on Windows. Everything read from the file is bounds-checked.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace vorlo::pe {

class PeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A resource type or name: a number or an upper-case text.
struct ResId {
  bool isNumber = true;
  uint16_t number = 0;
  std::u16string text;

  static ResId num(uint16_t n) { return {true, n, {}}; }
  static ResId str(const std::string& s);
  std::string display() const;
  bool operator==(const ResId& o) const {
    return isNumber == o.isNumber && (isNumber ? number == o.number : text == o.text);
  }
};

// Standard resource types used by the packager.
inline constexpr uint16_t kIconType = 3;
inline constexpr uint16_t kGroupIconType = 14;
inline constexpr uint16_t kVersionType = 16;
inline constexpr uint16_t kLangEnglishUS = 1033;

struct Resource {
  ResId type;
  ResId name;
  uint16_t language = kLangEnglishUS;
  uint32_t codePage = 0;
  std::vector<uint8_t> data;
};

class PeFile {
 public:
  // Throws PeError when the bytes are not a PE file this code can handle.
  explicit PeFile(std::vector<uint8_t> bytes) : PeFile(std::move(bytes), false) {}
  // Reads only the program image of a file, not what is appended to it.
  static PeFile fromFile(const std::string& path);

  std::vector<Resource> resources() const;
  // The file with its resources replaced by the given list: the last section is replaced when it is
  // the resource section, otherwise a new section is added; any data after the last section is dropped.
  std::vector<uint8_t> withResources(const std::vector<Resource>& resources) const;
  // Bytes after the end of the last section (an appended archive, for example).
  uint64_t imageEnd() const { return imageEnd_; }
  bool is64() const { return is64_; }

 private:
  struct Section {
    char name[8];
    uint32_t virtualSize, virtualAddress, rawSize, rawPointer, characteristics;
    uint32_t headerOffset;
  };
  PeFile(std::vector<uint8_t> bytes, bool headersOnly);
  const Section* sectionOf(uint32_t rva) const;

  std::vector<uint8_t> bytes_;
  bool is64_ = false;
  uint32_t peOffset_ = 0, optOffset_ = 0, dataDirOffset_ = 0, numDataDirs_ = 0;
  uint32_t sectionAlign_ = 0, fileAlign_ = 0, headersSize_ = 0, sectionTableOffset_ = 0;
  std::vector<Section> sections_;
  uint64_t imageEnd_ = 0;
};

// Resources of one type and name, any language.
const Resource* findResource(const std::vector<Resource>& list, const ResId& type, const ResId& name);
void removeResources(std::vector<Resource>& list, const ResId& type, const ResId& name);

}  // namespace vorlo::pe
