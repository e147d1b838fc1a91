#include "projector/archive_reader.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "projector/safe_name.h"
#include "util/bytes.h"
#include "util/text.h"

namespace vorlo::archive {

bool readEntry(File& f, uint64_t pos, const Region& region, Entry& e) {
  if (region.end < pos || region.end - pos < 5) return false;
  uint8_t head[8];
  if (region.end - pos < 8 || !f.seek(pos) || !f.readExact(head, 8)) return false;
  uint32_t kind = getLE32(head), units = getLE32(head + 4);
  if (units > kMaxNameUnits) return false;
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
  e.folder = kind != kFileKind;
  e.storedName = utf16ToUtf8(name);
  // Names come from the file: one that could leave the folder it is written to is never used.
  e.name = isSafeFileName(e.storedName) ? e.storedName : std::string();
  e.payload = {payloadBegin, payloadBegin + size};
  return true;
}

Lookup findEntry(File& f, const Region& folder, const std::string& component, Entry& found) {
  bool ok = false;
  bool whole = walk(f, folder, [&](const Entry& e) {
    if (!e.name.empty() && equalsIgnoreCase(e.name, component)) {
      found = e;
      ok = true;
      return false;
    }
    return true;
  });
  return ok ? Lookup::Found : whole ? Lookup::Missing : Lookup::Damaged;
}

ArchiveState locateArchive(File& f, Region& root) {
  uint64_t fileSize = f.size();
  if (fileSize < kTrailerSize) return ArchiveState::None;
  uint8_t trailer[8];
  if (!f.seek(fileSize - 8) || !f.readExact(trailer, 8)) return ArchiveState::None;
  uint32_t archiveSize = getLE32(trailer), present = getLE32(trailer + 4);
  if (present == 0) return ArchiveState::None;
  if (archiveSize > fileSize - 8 || archiveSize < 4) return ArchiveState::Damaged;
  uint64_t start = fileSize - 8 - archiveSize;
  uint8_t magic[4];
  if (!f.seek(start) || !f.readExact(magic, 4) || std::memcmp(magic, kMagic, 4) != 0) return ArchiveState::Damaged;
  Entry rootEntry;
  Region whole{start + 4, fileSize - 8};
  if (!readEntry(f, start + 4, whole, rootEntry) || !rootEntry.folder) return ArchiveState::Damaged;
  if (!equalsIgnoreCase(rootEntry.storedName, kRootName)) return ArchiveState::Damaged;
  root = rootEntry.payload;
  return ArchiveState::Present;
}

bool inflateEntry(File& f, const Entry& e, const std::function<bool(const uint8_t*, size_t)>& sink, int& zlibError) {
  zlibError = 0;
  uint64_t size = e.payload.end - e.payload.begin;
  if (size < 4) return false;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  uint8_t in[kChunkSize], out[kChunkSize];
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
      zs.next_out = out;
      zs.avail_out = kChunkSize;
      rc = inflate(&zs, Z_NO_FLUSH);
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
        zlibError = rc;
        failed = true;
        break;
      }
      size_t produced = kChunkSize - zs.avail_out;
      if (produced && !sink(out, produced)) {
        failed = true;
        break;
      }
      crc = static_cast<uint32_t>(crc32(crc, out, static_cast<uInt>(produced)));
    } while (zs.avail_out == 0 && rc != Z_STREAM_END);
  }
  inflateEnd(&zs);
  uint8_t stored[4];
  // A stream that stops before its end is as damaged as one with a wrong checksum.
  return !failed && rc == Z_STREAM_END && f.seek(e.payload.end - 4) && f.readExact(stored, 4) && getLE32(stored) == crc;
}

}  // namespace vorlo::archive
