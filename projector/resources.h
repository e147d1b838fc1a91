// Named resources of the running program (or of a package file the tools read).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "projector/packed_block.h"

namespace vorlo {

// Resource types and names of a package.
namespace res {
inline constexpr const char* kQuoril = "QUORIL";
inline constexpr const char* kScripts = "VORLO";
inline constexpr const char* kMenus = "MENUS";
inline constexpr const char* kSettings = "ST";
inline constexpr const char* kFingerprint = "CS";
inline constexpr const char* kAppId = "ID";
inline constexpr const char* kMovieList = "ML";
inline constexpr const char* kPlayerInstaller = "FP";
inline constexpr const char* kAboutPicture = "BK";
inline constexpr const char* kMasks = "RG";
inline constexpr const char* kStartupScript = "INITIALIZE";
}  // namespace res

class ResourceSource {
 public:
  virtual ~ResourceSource() = default;
  // The bytes of the resource, or nullopt when there is none (the last error then says why).
  // Type and name compare without regard to letter case.
  virtual std::optional<std::vector<uint8_t>> find(std::string_view type, std::string_view name) const = 0;
};

// The resources of the running program's own module (Windows only).
std::unique_ptr<ResourceSource> moduleResources();

// Resource reads answer through one channel: nullopt when the resource is missing or empty (the
// last error then says why) and, for packed resources, when its block is damaged; the damage is
// reported naming the resource (describeResource).
std::optional<std::vector<uint8_t>> readRawResource(const ResourceSource& source, std::string_view name,
                                                    std::string_view type);
std::optional<std::vector<uint8_t>> readPackedResource(const ResourceSource& source, std::string_view name,
                                                       std::string_view type, ReportMode mode = ReportMode::ShowErrors);

// What a package resource is, for messages: "the package's movie list (resource ML)", "the packaged
// script \"Initialize\"".
std::string describeResource(std::string_view name, std::string_view type);

}  // namespace vorlo
