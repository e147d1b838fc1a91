// The per-run work folder and unique scratch names.
#pragma once
#include <optional>
#include <string>

namespace vorlo {

// TMP, else TEMP, else the Windows folder (each only when not empty and shorter than 260 characters),
// with a trailing separator.
std::string temporaryFolder();

// Creates "<temporary folder>{GUID}<separator>". Throws ProjectorError naming the folder when it cannot.
std::string createWorkFolder();

// Deletes a folder with everything below it. Links and junctions inside are removed, never followed.
// Failures are ignored: files still in use stay behind.
void deleteWorkFolder(const std::string& path);

// A name "<temporary folder><tick count as 4+ hex digits><counter><extension>" that no file has yet;
// the counter runs from 0 and gives up at 0xFFFF.
std::optional<std::string> makeScratchName(const std::string& extension);

}  // namespace vorlo
