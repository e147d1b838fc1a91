#include "projector/app_archive.h"

#include <cstring>
#include <vector>

#include "projector/archive_reader.h"
#include "projector/error_report.h"
#include "projector/exceptions.h"
#include "projector/packed_block.h"
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

const char kArchive[] = "the package's archive";

std::string packagedFile(const std::string& archivePath) { return "the packaged file \"" + archivePath + "\""; }

// Extracts one file entry to path and checks its CRC. A reused, complete copy answers at once; a
// damaged one leaves nothing behind and is reported under its archive path.
bool extractFileEntry(File& f, const Entry& e, const std::string& path, const std::string& archivePath) {
  if (os::isFile(path)) return true;
  File out;
  if (!out.open(path, File::Mode::Create)) {
    reportError("Cannot write " + path + ": " + os::lastErrorText());
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
  if (writeFailed) reportError("Cannot write " + path + ": " + os::lastErrorText());
  out.close();
  if (zlibError) {
    reportError(damagedMessage(packagedFile(archivePath), ZipError::messageFor(zlibError)));
  } else if (!good && !writeFailed) {
    reportError(damagedMessage(packagedFile(archivePath), "its data ends early or its CRC does not match"));
  }
  if (!good) os::removeFile(path);
  return good;
}

void extractFolder(File& f, const Region& folder, const std::string& path, const std::string& archivePath, int depth) {
  os::createFolder(path);
  if (depth >= archive::kMaxDepth) return;
  std::vector<Entry> entries;
  bool whole = walk(f, folder, [&](const Entry& e) {
    entries.push_back(e);
    return true;
  });
  if (!whole) reportError(damagedMessage(kArchive, "an entry of the folder \"" + archivePath + "\" cannot be read"));
  for (const Entry& e : entries) {
    if (e.name.empty()) continue;
    std::string inArchive = archivePath.empty() ? e.name : archivePath + "/" + e.name;
    if (e.folder) {
      extractFolder(f, e.payload, path + e.name + os::kPathSeparator, inArchive, depth + 1);
    } else {
      extractFileEntry(f, e, path + e.name, inArchive);
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
    reportError("Cannot read " + program + ": " + os::lastErrorText());
    return {};
  }
  Region folder;
  switch (locateArchive(f, folder)) {
    case archive::ArchiveState::Present:
      break;
    case archive::ArchiveState::Damaged:
      // Said once per look-up; the files are then looked for beside the program, as without an archive.
      reportError(damagedMessage(kArchive, "it is cut short or its header is not as written"));
      [[fallthrough]];
    case archive::ArchiveState::None:
      return resolveBesideProgram(program, parts);
  }

  std::string target = workFolder_ + "_extra" + os::kPathSeparator;
  std::string inArchive;
  os::createFolder(target);
  for (const std::string& part : parts) {
    Entry e;
    inArchive += (inArchive.empty() ? "" : "/") + part;
    archive::Lookup found = findEntry(f, folder, part, e);
    if (found == archive::Lookup::Damaged) {
      reportError(damagedMessage(kArchive, "the entries on the way to \"" + inArchive + "\" cannot be read"));
    }
    if (found != archive::Lookup::Found) return {};
    target += part;
    if (!e.folder) return extractFileEntry(f, e, target, inArchive) ? target : std::string();
    target += os::kPathSeparator;
    os::createFolder(target);
    folder = e.payload;
  }
  extractFolder(f, folder, target, inArchive, 0);
  return target;
}

}  // namespace vorlo
