#include "projector/work_folder.h"

#include <cstdio>

#include "projector/exceptions.h"
#include "util/platform.h"

namespace vorlo {
namespace {
bool usable(const std::string& folder) { return !folder.empty() && folder.size() < 260; }
bool endsWithSeparator(const std::string& p) { return !p.empty() && (p.back() == '\\' || p.back() == '/'); }
}  // namespace

std::string temporaryFolder() {
  std::string folder = os::getEnv("TMP");
  if (!usable(folder)) folder = os::getEnv("TEMP");
  if (!usable(folder)) folder = os::windowsFolder();
  if (!endsWithSeparator(folder)) folder += os::kPathSeparator;
  return folder;
}

std::string createWorkFolder() {
  std::string path = temporaryFolder() + os::newGuidText();
  if (!os::createFolder(path)) {
    throw ProjectorError("The work folder " + path + " cannot be made: " + os::lastErrorText() +
                         " (the folder comes from TMP, else TEMP, else the Windows folder)");
  }
  return path + os::kPathSeparator;
}

void deleteWorkFolder(const std::string& path) {
  if (path.empty() || !os::isFolder(path)) return;
  std::string folder = path;
  if (!endsWithSeparator(folder)) folder += os::kPathSeparator;
  for (const os::FolderEntry& e : os::listFolder(folder)) {
    std::string child = folder + e.name;
    if (e.link) {
      // The link goes; what it points to stays.
      if (!os::removeFolder(child)) os::removeFile(child);
    } else if (e.folder) {
      deleteWorkFolder(child);
    } else {
      os::removeFile(child);
    }
  }
  os::removeFolder(folder);
}

std::optional<std::string> makeScratchName(const std::string& extension) {
  std::string folder = temporaryFolder();
  unsigned number = os::tickCount();
  for (unsigned counter = 0; counter < 0xFFFF; ++counter) {
    char stem[32];
    std::snprintf(stem, sizeof stem, "%04X%u", number, counter);
    std::string name = folder + stem + extension;
    if (!os::isFile(name)) return name;
  }
  return std::nullopt;
}

}  // namespace vorlo
