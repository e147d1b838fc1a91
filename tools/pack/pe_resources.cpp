#include "tools/pack/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "util/bytes.h"
#include "util/file.h"
#include "util/text.h"

namespace vorlo::pe {
namespace {

constexpr uint32_t kResourceDir = 2;
constexpr uint32_t kSecurityDir = 4;
constexpr size_t kMaxResources = 65536;

uint32_t alignUp(uint64_t v, uint32_t a) { return static_cast<uint32_t>((v + a - 1) / a * a); }

}  // namespace

bool operator<(const ResId& a, const ResId& b) {
  // Named entries come first, in code-unit order; then numbers in ascending order.
  if (a.isNumber != b.isNumber) return !a.isNumber;
  return a.isNumber ? a.number < b.number : a.text < b.text;
}

ResId ResId::str(const std::string& s) {
  ResId id;
  id.isNumber = false;
  id.text = utf8ToUtf16(toUpperAscii(s));
  return id;
}

std::string ResId::display() const { return isNumber ? std::to_string(number) : utf16ToUtf8(text); }

PeFile::PeFile(std::vector<uint8_t> bytes, bool headersOnly) : bytes_(std::move(bytes)) {
  const size_t size = bytes_.size();
  auto need = [&](uint64_t off, uint64_t n, const char* what) {
    if (off + n > size) throw PeError(std::string("not a valid program file: ") + what + " runs past the end");
  };
  need(0, 0x40, "DOS header");
  if (bytes_[0] != 'M' || bytes_[1] != 'Z') throw PeError("not a program file (no MZ header)");
  peOffset_ = getLE32(&bytes_[0x3C]);
  need(peOffset_, 24, "PE header");
  if (std::memcmp(&bytes_[peOffset_], "PE\0\0", 4) != 0) throw PeError("not a PE program file");
  const uint32_t coff = peOffset_ + 4;
  const uint16_t numSections = getLE16(&bytes_[coff + 2]);
  const uint16_t optSize = getLE16(&bytes_[coff + 16]);
  optOffset_ = coff + 20;
  need(optOffset_, optSize, "optional header");
  if (optSize < 96) throw PeError("not a valid program file: optional header too small");
  const uint16_t magic = getLE16(&bytes_[optOffset_]);
  if (magic != 0x10B && magic != 0x20B) throw PeError("not a valid program file: unknown optional header");
  is64_ = magic == 0x20B;
  sectionAlign_ = getLE32(&bytes_[optOffset_ + 32]);
  fileAlign_ = getLE32(&bytes_[optOffset_ + 36]);
  headersSize_ = getLE32(&bytes_[optOffset_ + 60]);
  const uint32_t rvaCountAt = is64_ ? 108 : 92;
  dataDirOffset_ = optOffset_ + rvaCountAt + 4;
  if (rvaCountAt + 4 > optSize) throw PeError("not a valid program file: no data directories");
  numDataDirs_ = std::min<uint32_t>(getLE32(&bytes_[optOffset_ + rvaCountAt]), (optSize - rvaCountAt - 4) / 8);
  if (numDataDirs_ <= kSecurityDir) throw PeError("not a valid program file: too few data directories");
  if (sectionAlign_ == 0 || fileAlign_ == 0 || (fileAlign_ & (fileAlign_ - 1)) || (sectionAlign_ & (sectionAlign_ - 1))) {
    throw PeError("not a valid program file: bad alignment");
  }
  sectionTableOffset_ = optOffset_ + optSize;
  need(sectionTableOffset_, uint64_t(numSections) * 40, "section table");
  imageEnd_ = headersSize_;
  for (uint32_t i = 0; i < numSections; ++i) {
    const uint8_t* h = &bytes_[sectionTableOffset_ + i * 40];
    Section s{};
    std::memcpy(s.name, h, 8);
    s.virtualSize = getLE32(h + 8);
    s.virtualAddress = getLE32(h + 12);
    s.rawSize = getLE32(h + 16);
    s.rawPointer = getLE32(h + 20);
    s.characteristics = getLE32(h + 36);
    s.headerOffset = sectionTableOffset_ + i * 40;
    if (s.rawSize) {
      if (!headersOnly) need(s.rawPointer, s.rawSize, "a section");
      imageEnd_ = std::max<uint64_t>(imageEnd_, uint64_t(s.rawPointer) + s.rawSize);
    }
    sections_.push_back(s);
  }
}

PeFile PeFile::fromFile(const std::string& path) {
  File f;
  if (!f.open(path, File::Mode::Read)) throw PeError("cannot read " + path);
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(f.size(), 1 << 16)));
  if (!f.readExact(head.data(), head.size())) throw PeError("cannot read " + path);
  uint64_t end = PeFile(std::move(head), true).imageEnd();
  if (end > f.size()) throw PeError("not a valid program file: a section runs past the end");
  std::vector<uint8_t> image(static_cast<size_t>(end));
  if (!f.seek(0) || !f.readExact(image.data(), image.size())) throw PeError("cannot read " + path);
  return PeFile(std::move(image));
}

const PeFile::Section* PeFile::sectionOf(uint32_t rva) const {
  for (const Section& s : sections_) {
    uint32_t span = std::max(s.virtualSize, s.rawSize);
    if (rva >= s.virtualAddress && rva - s.virtualAddress < span) return &s;
  }
  return nullptr;
}

std::vector<Resource> PeFile::resources() const {
  std::vector<Resource> out;
  const uint32_t rva = getLE32(&bytes_[dataDirOffset_ + kResourceDir * 8]);
  if (rva == 0) return out;
  const Section* sec = sectionOf(rva);
  if (!sec) throw PeError("the resource directory lies outside every section");
  const uint64_t base = uint64_t(sec->rawPointer) + (rva - sec->virtualAddress);
  const uint64_t limit = uint64_t(sec->rawPointer) + sec->rawSize;
  if (base >= limit) throw PeError("the resource directory lies outside its section's data");
  auto at = [&](uint64_t off, uint64_t n) -> const uint8_t* {
    if (base + off + n > limit) throw PeError("a resource entry runs past its section");
    return &bytes_[base + off];
  };
  auto readId = [&](uint32_t raw) {
    if (!(raw & 0x80000000u)) return ResId::num(static_cast<uint16_t>(raw));
    uint32_t off = raw & 0x7FFFFFFFu;
    uint16_t len = getLE16(at(off, 2));
    const uint8_t* p = at(off + 2, uint64_t(len) * 2);
    ResId id;
    id.isNumber = false;
    for (uint16_t i = 0; i < len; ++i) id.text.push_back(static_cast<char16_t>(getLE16(p + 2 * i)));
    return id;
  };
  auto entries = [&](uint32_t dirOff, auto each) {
    const uint8_t* d = at(dirOff, 16);
    uint32_t n = uint32_t(getLE16(d + 12)) + getLE16(d + 14);
    const uint8_t* e = at(dirOff + 16, uint64_t(n) * 8);
    for (uint32_t i = 0; i < n; ++i) each(getLE32(e + 8 * i), getLE32(e + 8 * i + 4));
  };
  auto subdir = [](uint32_t target) {
    if (!(target & 0x80000000u)) throw PeError("the resource directory is malformed");
    return target & 0x7FFFFFFFu;
  };
  entries(0, [&](uint32_t typeRaw, uint32_t typeTarget) {
    ResId type = readId(typeRaw);
    entries(subdir(typeTarget), [&](uint32_t nameRaw, uint32_t nameTarget) {
      ResId name = readId(nameRaw);
      entries(subdir(nameTarget), [&](uint32_t langRaw, uint32_t dataOff) {
        if (dataOff & 0x80000000u) throw PeError("the resource directory is malformed");
        if (out.size() >= kMaxResources) throw PeError("the resource directory holds too many entries");
        const uint8_t* d = at(dataOff, 16);
        uint32_t dataRva = getLE32(d), dataSize = getLE32(d + 4);
        const Section* ds = sectionOf(dataRva);
        if (!ds) throw PeError("resource data lies outside every section");
        uint64_t off = uint64_t(ds->rawPointer) + (dataRva - ds->virtualAddress);
        if (off + dataSize > uint64_t(ds->rawPointer) + ds->rawSize) throw PeError("resource data runs past its section");
        Resource r;
        r.type = type;
        r.name = name;
        r.language = static_cast<uint16_t>(langRaw);
        r.codePage = getLE32(d + 8);
        r.data.assign(bytes_.begin() + off, bytes_.begin() + off + dataSize);
        out.push_back(std::move(r));
      });
    });
  });
  return out;
}

std::vector<uint8_t> PeFile::withResources(const std::vector<Resource>& resources) const {
  // Group by type, name and language in the loader's search order.
  std::map<ResId, std::map<ResId, std::map<uint16_t, const Resource*>>> tree;
  for (const Resource& r : resources) tree[r.type][r.name][r.language] = &r;

  uint32_t cursor = 16 + 8 * static_cast<uint32_t>(tree.size());
  std::map<const void*, uint32_t> dirAt;
  for (auto& [type, names] : tree) {
    dirAt[&names] = cursor;
    cursor += 16 + 8 * static_cast<uint32_t>(names.size());
  }
  size_t leaves = 0;
  for (auto& [type, names] : tree) {
    for (auto& [name, langs] : names) {
      dirAt[&langs] = cursor;
      cursor += 16 + 8 * static_cast<uint32_t>(langs.size());
      leaves += langs.size();
    }
  }
  const uint32_t dataEntriesAt = cursor;
  cursor += 16 * static_cast<uint32_t>(leaves);
  std::map<std::u16string, uint32_t> stringAt;
  auto placeString = [&](const ResId& id) {
    if (!id.isNumber && !stringAt.count(id.text)) {
      stringAt[id.text] = cursor;
      cursor += 2 + 2 * static_cast<uint32_t>(id.text.size());
    }
  };
  for (auto& [type, names] : tree) {
    placeString(type);
    for (auto& [name, langs] : names) placeString(name);
  }
  std::vector<uint32_t> dataAt;
  for (auto& [type, names] : tree) {
    for (auto& [name, langs] : names) {
      for (auto& [lang, r] : langs) {
        cursor = alignUp(cursor, 8);
        dataAt.push_back(cursor);
        cursor += static_cast<uint32_t>(r->data.size());
      }
    }
  }
  const uint32_t sectionSize = cursor;

  // Where the new section goes.
  const Section* last = nullptr;
  for (const Section& s : sections_) {
    if (!last || s.virtualAddress > last->virtualAddress) last = &s;
  }
  if (!last) throw PeError("the program file has no sections");
  const uint32_t oldRva = getLE32(&bytes_[dataDirOffset_ + kResourceDir * 8]);
  const bool replaceLast = oldRva != 0 && sectionOf(oldRva) == last && last->virtualAddress == oldRva &&
                           uint64_t(last->rawPointer) + last->rawSize == imageEnd_;
  uint32_t va, rawPointer, headerAt;
  uint16_t numSections = static_cast<uint16_t>(sections_.size());
  if (replaceLast) {
    va = last->virtualAddress;
    rawPointer = last->rawPointer;
    headerAt = last->headerOffset;
  } else {
    headerAt = sectionTableOffset_ + 40 * numSections;
    uint32_t firstRaw = UINT32_MAX;
    for (const Section& s : sections_) {
      if (s.rawSize) firstRaw = std::min(firstRaw, s.rawPointer);
    }
    if (headerAt + 40 > headersSize_ || headerAt + 40 > firstRaw) {
      throw PeError("the program file has no room for another section header");
    }
    va = alignUp(uint64_t(last->virtualAddress) + std::max(last->virtualSize, last->rawSize), sectionAlign_);
    rawPointer = alignUp(imageEnd_, fileAlign_);
    ++numSections;
  }
  const uint32_t rawSize = alignUp(sectionSize, fileAlign_);

  std::vector<uint8_t> out(bytes_.begin(), bytes_.begin() + std::min<uint64_t>(rawPointer, imageEnd_));
  out.resize(uint64_t(rawPointer) + rawSize, 0);
  uint8_t* sec = &out[rawPointer];

  auto writeDir = [&](uint32_t off, size_t named, size_t ids) {
    putLE16(sec + off + 12, static_cast<uint16_t>(named));
    putLE16(sec + off + 14, static_cast<uint16_t>(ids));
  };
  auto idWord = [&](const ResId& id) { return id.isNumber ? uint32_t(id.number) : (0x80000000u | stringAt[id.text]); };
  auto countNamed = [](const auto& m) {
    size_t n = 0;
    for (auto& kv : m) n += kv.first.isNumber ? 0 : 1;
    return n;
  };
  writeDir(0, countNamed(tree), tree.size() - countNamed(tree));
  uint32_t e = 16, leaf = 0;
  for (auto& [type, names] : tree) {
    putLE32(sec + e, idWord(type));
    putLE32(sec + e + 4, 0x80000000u | dirAt[&names]);
    e += 8;
    uint32_t nd = dirAt[&names];
    writeDir(nd, countNamed(names), names.size() - countNamed(names));
    uint32_t ne = nd + 16;
    for (auto& [name, langs] : names) {
      putLE32(sec + ne, idWord(name));
      putLE32(sec + ne + 4, 0x80000000u | dirAt[&langs]);
      ne += 8;
      uint32_t ld = dirAt[&langs];
      writeDir(ld, 0, langs.size());
      uint32_t le = ld + 16;
      for (auto& [lang, r] : langs) {
        uint32_t entryOff = dataEntriesAt + 16 * leaf;
        putLE32(sec + le, lang);
        putLE32(sec + le + 4, entryOff);
        le += 8;
        putLE32(sec + entryOff, va + dataAt[leaf]);
        putLE32(sec + entryOff + 4, static_cast<uint32_t>(r->data.size()));
        putLE32(sec + entryOff + 8, r->codePage);
        if (!r->data.empty()) std::memcpy(sec + dataAt[leaf], r->data.data(), r->data.size());
        ++leaf;
      }
    }
  }
  for (auto& [text, off] : stringAt) {
    putLE16(sec + off, static_cast<uint16_t>(text.size()));
    for (size_t i = 0; i < text.size(); ++i) putLE16(sec + off + 2 + 2 * i, static_cast<uint16_t>(text[i]));
  }

  uint8_t* h = &out[headerAt];
  std::memset(h, 0, 40);
  std::memcpy(h, ".rsrc\0\0\0", 8);
  putLE32(h + 8, sectionSize);
  putLE32(h + 12, va);
  putLE32(h + 16, rawSize);
  putLE32(h + 20, rawPointer);
  putLE32(h + 36, 0x40000040u);  // initialised data, readable
  const uint32_t coff = peOffset_ + 4;
  putLE16(&out[coff + 2], numSections);
  putLE32(&out[coff + 8], 0);   // no COFF symbol table
  putLE32(&out[coff + 12], 0);
  putLE32(&out[optOffset_ + 56], alignUp(uint64_t(va) + sectionSize, sectionAlign_));  // SizeOfImage
  putLE32(&out[optOffset_ + 64], 0);  // checksum: not needed for programs
  putLE32(&out[dataDirOffset_ + kResourceDir * 8], va);
  putLE32(&out[dataDirOffset_ + kResourceDir * 8 + 4], sectionSize);
  // A signature would no longer match the changed file.
  putLE32(&out[dataDirOffset_ + kSecurityDir * 8], 0);
  putLE32(&out[dataDirOffset_ + kSecurityDir * 8 + 4], 0);
  return out;
}

const Resource* findResource(const std::vector<Resource>& list, const ResId& type, const ResId& name) {
  for (const Resource& r : list) {
    if (r.type == type && r.name == name) return &r;
  }
  return nullptr;
}

void removeResources(std::vector<Resource>& list, const ResId& type, const ResId& name) {
  list.erase(std::remove_if(list.begin(), list.end(), [&](const Resource& r) { return r.type == type && r.name == name; }),
             list.end());
}

}  // namespace vorlo::pe
