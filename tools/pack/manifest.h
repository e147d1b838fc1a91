// The project manifest "vorlo.toml": what vorlo-pack puts into a package.
#pragma once
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "projector/settings.h"
#include "tools/pack/win_resources.h"

namespace vorlo::pack {

inline constexpr const char* kManifestName = "vorlo.toml";

// A manifest fault, with the file and line in its message ("vorlo.toml:7: ...").
class ManifestError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct NamedFile {
  std::string name;
  std::string path;  // resolved against the project folder
};

struct Manifest {
  std::string projectDir;  // ends with a separator
  std::string appId;       // "<registry key>/<profile name>"
  std::string startMovie;  // archive path
  std::string fileKey;
  std::string playerInstaller;  // archive path
  std::string icon;             // .ico path, empty: the runtime's own icon
  pe::VersionInfo version;
  bool hasVersion = false;
  std::vector<NamedFile> scripts;  // by resource name: .vos sources (compiled when packing) or images
  std::vector<NamedFile> masks;
  std::string archiveFolder;  // empty: no archive
  ProjectorSettings settings;  // the packaged settings record
};

// Reads <projectDir>/vorlo.toml. Throws ManifestError.
Manifest loadManifest(const std::string& projectDir);

}  // namespace vorlo::pack
