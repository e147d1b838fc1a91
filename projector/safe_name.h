// Names that come from a package file and become file names in the work folder.
#pragma once
#include <string_view>

namespace vorlo {

// True for a plain file or folder name: not empty, not "." or "..", no path separator, drive prefix,
// control or wildcard character, no trailing dot or space, and not a device name (CON, NUL, COM1, ...,
// also with an extension). Such a name can never leave the folder it is put in.
bool isSafeFileName(std::string_view name);

}  // namespace vorlo
