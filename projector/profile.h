// The user's profile: named binary values in sections, under the location the application
// identifier gives (the registry on Windows).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorlo {

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;
  virtual std::optional<std::vector<uint8_t>> readBinary(const std::string& section, const std::string& entry) = 0;
  // Failures are ignored by the callers; false tells a test that the write did not happen.
  virtual bool writeBinary(const std::string& section, const std::string& entry, const std::vector<uint8_t>& data) = 0;
};

// HKEY_CURRENT_USER\Software\<registryKey>\<profileName>\<section> (Windows only).
std::unique_ptr<ProfileStore> registryProfile(const std::string& registryKey, const std::string& profileName);

}  // namespace vorlo
