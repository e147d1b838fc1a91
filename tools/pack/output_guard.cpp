#include "tools/pack/output_guard.h"

#include "tools/common/paths.h"

#include <stdexcept>

#include "projector/resources.h"
#include "tools/pack/pe_resources.h"
#include "util/file.h"
#include "util/platform.h"
#include "util/text.h"

namespace vorlo::pack {
namespace {

std::string parentOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string withoutTrailingSeparator(std::string p) {
  while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
  return p;
}

}  // namespace

bool isPackage(const std::string& path) {
  File f;
  char magic[2] = {};
  if (!f.open(path, File::Mode::Read) || !f.readExact(magic, 2) || magic[0] != 'M' || magic[1] != 'Z') return false;
  f.close();
  try {
    auto resources = pe::PeFile::fromFile(path).resources();
    return pe::findResource(resources, pe::ResId::str(res::kQuoril), pe::ResId::str(res::kAppId)) != nullptr;
  } catch (const std::exception&) {
    return false;  // not a program this tool can read, so not one of its packages
  }
}

void checkOutputPath(const Manifest& m, const std::string& runtime, const std::string& output) {
  const std::string full = os::fullPath(output);
  if (os::isFolder(output)) {
    throw std::runtime_error("the output " + output + " is a folder; name the package file, as -o " +
                             withoutTrailingSeparator(output) + os::kPathSeparator + "app.exe");
  }
  const std::string folder = parentOf(full);
  if (!os::isFolder(folder)) throw std::runtime_error("the output's folder " + folder + " does not exist");

  struct Source {
    std::string path;
    const char* role;
  };
  std::vector<Source> sources = {{m.projectDir + kManifestName, "the manifest"}, {runtime, "the runtime"}};
  if (!m.icon.empty()) sources.push_back({m.icon, "the icon"});
  for (const NamedFile& s : m.scripts) sources.push_back({s.path, "a script"});
  for (const NamedFile& s : m.masks) sources.push_back({s.path, "a mask"});
  for (const Source& s : sources) {
    if (samePath(output, s.path)) {
      throw std::runtime_error("the output " + output + " is " + s.role + " of the project; write the package elsewhere");
    }
  }
  if (!m.archiveFolder.empty() && (isInside(output, m.archiveFolder) || samePath(output, m.archiveFolder))) {
    throw std::runtime_error("the output " + output + " lies inside the folder being archived (" + m.archiveFolder +
                             "), so the package would archive itself; write it outside that folder");
  }
  if (os::isFile(output) && !isPackage(output)) {
    throw std::runtime_error(output + " exists and is not a package; vorlo-pack replaces only packages it made. "
                             "Choose another output or move that file away");
  }
}

}  // namespace vorlo::pack
