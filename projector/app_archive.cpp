#include "projector/app_archive.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "projector/archive_format.h"
#include "projector/error_report.h"
#include "projector/exceptions.h"
#include "projector/safe_name.h"
#include "util/bytes.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo {
namespace {

using archive::kChunkSize;

// A run of entries: a folder's payload.
struct Region {
  uint64_t begin = 0;
  uint64_t end = 0;
};

struct Entry {
  bool folder = false;
  std::string name;  // empty when the stored name is absent or not a plain file name
  Region payload;
};

// Reads the entry header at pos within region. False when the header or the payload it claims does
// not fit in what is left of the region: the walk of that folder ends there.
bool readEntry(File& f, uint64_t pos, const Region& region, Entry& e) {
  if (region.end < pos || region.end - pos < 5) return false;
  uint8_t head[8];
  if (region.end - pos < 8 || !f.seek(pos) || !f.readExact(head, 8)) return false;
  uint32_t kind = getLE32(head), units = getLE32(head + 4);
  if (units > archive::kMaxNameUnits) return false;
  uint64_t headerSize = 8 + uint64_t(units) * 2 + 4;
  if (region.end - pos < headerSize) return false;
  std::vector<uint8_t> rest(units * 2 + 4);
  if (!f.readExact(rest.data(), rest.size())) return false;
  uint32_t size = getLE32(rest.data() + units * 2);
  uint64_t payloadBegin = pos + headerSize;
  if (region.end - payloadBegin < size) return false;
  std::u16string name;
  for (uint32_t i = 0; i < units; ++i) {
    char16_t u = static_cast<char16_t>(getLE16(rest.data() + 2 * i));
    if (u == 0) break;
    name.push_back(u);
  }
  e.folder = kind != archive::kFileKind;
  e.name = utf16ToUtf8(name);
  // Names come from the file: one that could leave the folder it is written to is never used.
  if (!isSafeFileName(e.name)) e.name.clear();
  e.payload = {payloadBegin, payloadBegin + size};
  return true;
}

template <typename Visit>
void walk(File& f, const Region& folder, Visit visit) {
  uint64_t pos = folder.begin;
  Entry e;
  while (readEntry(f, pos, folder, e)) {
    if (!visit(e)) return;
    pos = e.payload.end;
  }
}

bool findEntry(File& f, const Region& folder, const std::string& component, Entry& found) {
  bool ok = false;
  walk(f, folder, [&](const Entry& e) {
    if (!e.name.empty() && equalsIgnoreCase(e.name, component)) {
      found = e;
      ok = true;
      return false;
    }
    return true;
  });
  return ok;
}

// The root folder's payload when the file carries a well-formed archive.
bool locateArchive(File& f, Region& root) {
  uint64_t fileSize = f.size();
  if (fileSize < archive::kTrailerSize) return false;
  uint8_t trailer[8];
  if (!f.seek(fileSize - 8) || !f.readExact(trailer, 8)) return false;
  uint32_t archiveSize = getLE32(trailer), present = getLE32(trailer + 4);
  if (present == 0 || archiveSize > fileSize - 8 || archiveSize < 4) return false;
  uint64_t start = fileSize - 8 - archiveSize;
  uint8_t magic[4];
  if (!f.seek(start) || !f.readExact(magic, 4) || std::memcmp(magic, archive::kMagic, 4) != 0) return false;
  Entry rootEntry;
  Region whole{start + 4, fileSize - 8};
  if (!readEntry(f, start + 4, whole, rootEntry) || !rootEntry.folder) return false;
  if (!equalsIgnoreCase(rootEntry.name, archive::kRootName)) return false;
  root = rootEntry.payload;
  return true;
}

// Streams one file entry to path through two 4 KiB buffers and checks its CRC. A reused, complete
// copy answers at once; a damaged one leaves nothing behind.
bool extractFileEntry(File& f, const Entry& e, const std::string& path) {
  if (os::isFile(path)) return true;
  uint64_t size = e.payload.end - e.payload.begin;
  if (size < 4) return false;
  File out;
  if (!out.open(path, File::Mode::Create)) {
    reportError(os::lastErrorText());
    return false;
  }
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) {
    out.close();
    os::removeFile(path);
    return false;
  }
  uint8_t in[kChunkSize], outBuf[kChunkSize];
  uint64_t left = size - 4;
  uint32_t crc = 0;
  int rc = Z_OK;
  bool failed = !f.seek(e.payload.begin);
  while (!failed && left > 0 && rc != Z_STREAM_END) {
    size_t n = static_cast<size_t>(std::min<uint64_t>(left, kChunkSize));
    if (!f.readExact(in, n)) {
      failed = true;
      break;
    }
    left -= n;
    zs.next_in = in;
    zs.avail_in = static_cast<uInt>(n);
    do {
      zs.next_out = outBuf;
      zs.avail_out = kChunkSize;
      rc = inflate(&zs, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        reportError(CZipException::messageFor(rc));
        failed = true;
        break;
      }
      size_t produced = kChunkSize - zs.avail_out;
      if (produced && !out.write(outBuf, produced)) {
        reportError(os::lastErrorText());
        failed = true;
        break;
      }
      crc = static_cast<uint32_t>(crc32(crc, outBuf, static_cast<uInt>(produced)));
    } while (zs.avail_out == 0 && rc != Z_STREAM_END);
  }
  inflateEnd(&zs);
  out.close();
  uint8_t stored[4];
  // A stream that stops before its end is as damaged as one with a wrong checksum.
  bool good = !failed && rc == Z_STREAM_END && f.seek(e.payload.end - 4) && f.readExact(stored, 4) &&
              getLE32(stored) == crc;
  if (!good) os::removeFile(path);
  return good;
}

void extractFolder(File& f, const Region& folder, const std::string& path, int depth) {
  os::createFolder(path);
  if (depth >= archive::kMaxDepth) return;
  std::vector<Entry> entries;
  walk(f, folder, [&](const Entry& e) {
    entries.push_back(e);
    return true;
  });
  for (const Entry& e : entries) {
    if (e.name.empty()) continue;
    if (e.folder) {
      extractFolder(f, e.payload, path + e.name + os::kPathSeparator, depth + 1);
    } else {
      extractFileEntry(f, e, path + e.name);
    }
  }
}

std::vector<std::string> splitArchivePath(const std::string& archivePath) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : archivePath) {
    if (c == '\\' || c == '/') {
      if (!cur.empty()) parts.push_back(std::move(cur));
      cur.clear();
    } else {
      cur.push_back(c);
    }
  }
  if (!cur.empty()) parts.push_back(std::move(cur));
  return parts;
}

// Without an archive the application's files lie next to the program.
std::string resolveBesideProgram(const std::string& program, const std::vector<std::string>& parts) {
  size_t cut = program.find_last_of("\\/");
  std::string path = cut == std::string::npos ? std::string() : program.substr(0, cut + 1);
  if (!path.empty()) path.back() = os::kPathSeparator;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (parts[i] == "..") return {};
    path += parts[i];
    if (i + 1 < parts.size()) path += os::kPathSeparator;
  }
  return os::isFile(path) || os::isFolder(path) ? path : std::string();
}

}  // namespace

std::string AppArchive::extractFile(const std::string& archiveFile, const std::string& archivePath) const {
  const std::string program = archiveFile.empty() ? os::executablePath() : archiveFile;
  std::vector<std::string> parts = splitArchivePath(archivePath);
  File f;
  if (!f.open(program, File::Mode::Read)) {
    reportError(os::lastErrorText());
    return {};
  }
  Region folder;
  if (!locateArchive(f, folder)) return resolveBesideProgram(program, parts);

  std::string target = workFolder_ + "_extra" + os::kPathSeparator;
  os::createFolder(target);
  for (const std::string& part : parts) {
    Entry e;
    if (!findEntry(f, folder, part, e)) return {};
    target += part;
    if (!e.folder) return extractFileEntry(f, e, target) ? target : std::string();
    target += os::kPathSeparator;
    os::createFolder(target);
    folder = e.payload;
  }
  extractFolder(f, folder, target, 0);
  return target;
}

}  // namespace vorlo
