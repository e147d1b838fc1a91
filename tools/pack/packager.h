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

// Writes the package. The output path is checked first (output_guard.h); the package is written to a
// file of its own beside the output and renamed to it when whole. On any failure what was at the
// output before is still there, and std::runtime_error (ManifestError, pe::PeError, ...) says why.
void buildPackage(const Manifest& manifest, const PackOptions& options);


// Lists what a package holds: resources (decoded where the package format defines them) and the
// archive tree with sizes. Throws std::runtime_error when the file cannot be read as a program.
struct PackageListing {
  std::string text;
  bool damaged = false;  // a damaged resource, signature, archive or entry is listed
};
PackageListing describePackage(const std::string& path);

}  // namespace vorlo::pack
