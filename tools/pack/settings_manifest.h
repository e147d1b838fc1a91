// The manifest sections that describe the projector settings ([window], [input], [menu],
// [behaviour], [misc], [about]): readable names and values for every field of the record.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include <toml++/toml.h>

#include "projector/settings.h"

namespace vorlo::pack {

struct SettingKey {
  std::string name;
  // Sets the field from the manifest value; throws ManifestError naming the line and the choices.
  std::function<void(ProjectorSettings&, const toml::node&)> apply;
  // The field's value in manifest form, for listings.
  std::function<std::string(const ProjectorSettings&)> show;
};

// Section name -> its keys, in the order they are listed.
const std::map<std::string, std::vector<SettingKey>>& settingSections();

// What an author expects of a new application: a rectangular, resizable window with the usual
// border icons, the movie's own size, centred on screen, playing at once.
ProjectorSettings defaultSettings();

// "section.key = value" lines for a record.
std::string describeSettings(const ProjectorSettings& s);

}  // namespace vorlo::pack
