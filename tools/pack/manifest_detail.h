// Shared by the manifest readers: where a manifest fault is.
#pragma once
#include <toml++/toml.h>

#include <string>

#include "tools/pack/manifest.h"

namespace vorlo::pack {

inline std::string where(const toml::source_region& src) {
  return std::string(kManifestName) + ":" + std::to_string(src.begin.line) + ": ";
}

}  // namespace vorlo::pack
