#include "projector/app_archive.h"

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

using archive::Entry;
using archive::Region;
using archive::findEntry;
using archive::locateArchive;
using archive::walk;

// Extracts one file entry to path and checks its CRC. A reused, complete copy answers at once; a
// damaged one leaves nothing behind.
bool extractFileEntry(File& f, const Entry& e, const std::string& path) {
  if (os::isFile(path)) return true;
  File out;
  if (!out.open(path, File::Mode::Create)) {
    reportError(os::lastErrorText());
    return false;
  }
  bool writeFailed = false;
  int zlibError = 0;
  bool good = archive::inflateEntry(
      f, e,
      [&](const uint8_t* data, size_t n) {
        writeFailed = !out.write(data, n);
        return !writeFailed;
      },
      zlibError);
  out.close();
  if (zlibError) reportError(CZipException::messageFor(zlibError));
  if (writeFailed) reportError(os::lastErrorText());
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
