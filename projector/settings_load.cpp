#include "projector/settings_load.h"

namespace vorlo {

SettingsSource loadSettings(const ResourceSource& resources, ProfileStore& profile, ProjectorSettings& settings) {
  std::optional<std::vector<uint8_t>> fingerprint = readRawResource(resources, res::kFingerprint, res::kQuoril);
  std::optional<std::vector<uint8_t>> saved;
  if (fingerprint) {
    if (profile.readBinary(kSettingsSection, kFingerprintEntry) == fingerprint) {
      saved = profile.readBinary(kSettingsSection, kOptionsEntry);
    } else {
      // A new package, or the first run: the user's options belonged to another build.
      profile.writeBinary(kSettingsSection, kFingerprintEntry, *fingerprint);
    }
  }
  if (saved) {
    PackedReader r(*saved);
    readSettings(r, settings);
    return SettingsSource::SavedOptions;
  }
  // A missing or damaged record leaves the fields zero; the damage has been reported.
  if (auto record = readPackedResource(resources, res::kSettings, res::kQuoril)) {
    PackedReader r(*record);
    readSettings(r, settings);
  }
  saveSettings(profile, settings);
  return SettingsSource::Package;
}

void saveSettings(ProfileStore& profile, const ProjectorSettings& settings) {
  profile.writeBinary(kSettingsSection, kOptionsEntry, serializeSettings(settings));
}

}  // namespace vorlo
