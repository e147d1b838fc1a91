// Building a package: the runtime with the package's resources, then the archive of its files.
#pragma once
#include <functional>
#include <string>

#include "tools/pack/manifest.h"

namespace vorlo::pack {

struct PackOptions {
  std::string runtime;  // the clean vorlo.exe
  std::string output;
  std::function<void(const std::string&)> progress;  // progress lines; may be empty
};

// Writes the package. On any failure nothing is left at the output path and std::runtime_error
// (ManifestError, pe::PeError, ...) says why.
void buildPackage(const Manifest& manifest, const PackOptions& options);

// Lists what a package holds: resources (decoded where the package format defines them) and the
// archive tree with sizes. Throws std::runtime_error when the file cannot be read as a program.
std::string describePackage(const std::string& path);

}  // namespace vorlo::pack
