// The packaged program's own icon and version information, as resources.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "tools/pack/pe_resources.h"

namespace vorlo::pe {

// Replaces icon group groupId (and the icon images it used) with the images of an .ico file.
// Throws PeError when the file is not an icon file.
void replaceIconGroup(std::vector<Resource>& resources, uint16_t groupId, const std::vector<uint8_t>& icoFile);

struct VersionInfo {
  uint16_t version[4] = {1, 0, 0, 0};
  std::string productName, companyName, copyright, description, versionText, fileName;
};

// Parses "1", "1.2", "1.2.3" or "1.2.3.4" (each part 0..65535); false otherwise.
bool parseVersion(const std::string& text, uint16_t out[4]);

// The version resource (VS_VERSIONINFO, English US, Unicode strings).
std::vector<uint8_t> versionResource(const VersionInfo& info);

}  // namespace vorlo::pe
