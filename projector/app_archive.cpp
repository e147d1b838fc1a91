#include "projector/app_archive.h"

#include <zlib.h>

#include <cstring>
#include <vector>

#include "projector/archive_reader.h"
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
using archive::Entry;
using archive::Region;
using archive::findEntry;
using archive::locateArchive;
using archive::walk;

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
