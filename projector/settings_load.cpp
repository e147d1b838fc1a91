#include "projector/settings_load.h"

#include "projector/exceptions.h"

namespace vorlo {

SettingsSource loadSettings(const ResourceSource& resources, ProfileStore& profile, ProjectorSettings& settings) {
  std::optional<std::vector<uint8_t>> fingerprint;
  try {
    fingerprint = readRawResource(resources, res::kFingerprint, res::kQuoril);
  } catch (const CProjectorException&) {
  }
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
  try {
    if (auto record = readPackedResource(resources, res::kSettings, res::kQuoril)) {
      PackedReader r(*record);
      readSettings(r, settings);
    }
  } catch (const CProjectorException&) {
  }
  saveSettings(profile, settings);
  return SettingsSource::Package;
}

void saveSettings(ProfileStore& profile, const ProjectorSettings& settings) {
  profile.writeBinary(kSettingsSection, kOptionsEntry, serializeSettings(settings));
}

}  // namespace vorlo
