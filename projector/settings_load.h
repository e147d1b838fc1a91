// Loading the settings at start-up: the user's saved options while they belong to this package,
// otherwise the packaged record, which is then saved.
#pragma once
#include "projector/profile.h"
#include "projector/resources.h"
#include "projector/settings.h"

namespace vorlo {

inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kFingerprintEntry = "crc";
inline constexpr const char* kOptionsEntry = "Options";

enum class SettingsSource { SavedOptions, Package };

SettingsSource loadSettings(const ResourceSource& resources, ProfileStore& profile, ProjectorSettings& settings);
void saveSettings(ProfileStore& profile, const ProjectorSettings& settings);

}  // namespace vorlo
