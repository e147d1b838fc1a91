#include <windows.h>

#include "projector/profile.h"
#include "util/text.h"

namespace vorlo {
namespace {

class RegistryProfile final : public ProfileStore {
 public:
  RegistryProfile(const std::string& key, const std::string& profile)
      : base_(L"Software\\" + toWide(key) + L"\\" + toWide(profile)) {}

  std::optional<std::vector<uint8_t>> readBinary(const std::string& section, const std::string& entry) override {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, (base_ + L"\\" + toWide(section)).c_str(), 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::wstring name = toWide(entry);
    DWORD type = 0, size = 0;
    std::optional<std::vector<uint8_t>> out;
    if (RegQueryValueExW(k, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_BINARY) {
      std::vector<uint8_t> data(size);
      if (RegQueryValueExW(k, name.c_str(), nullptr, &type, data.data(), &size) == ERROR_SUCCESS) {
        data.resize(size);
        out = std::move(data);
      }
    }
    RegCloseKey(k);
    return out;
  }

  bool writeBinary(const std::string& section, const std::string& entry, const std::vector<uint8_t>& data) override {
    HKEY k;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, (base_ + L"\\" + toWide(section)).c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &k,
                        nullptr) != ERROR_SUCCESS) {
      return false;
    }
    bool ok = RegSetValueExW(k, toWide(entry).c_str(), 0, REG_BINARY, data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
  }

 private:
  std::wstring base_;
};

}  // namespace

std::unique_ptr<ProfileStore> registryProfile(const std::string& registryKey, const std::string& profileName) {
  return std::make_unique<RegistryProfile>(registryKey, profileName);
}

}  // namespace vorlo
