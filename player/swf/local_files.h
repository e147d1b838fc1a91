// Movies and data that a movie loads from local files: the URL rule and the loader the tools use.
// A movie reaches only files in and below its own folder: relative URLs, never an absolute path,
// a drive, a network share, a scheme other than "file:" with a relative path, or a ".." that
// climbs out.
#pragma once
#include <optional>
#include <string>

#include "player/swf/imports.h"

namespace vorlo::player {

// The path of `url` inside `folder` (with the system's separator), or nothing when the URL leaves
// the folder or is no local file at all. A query ("?a=1") or fragment is not part of the file name.
std::optional<std::string> localPath(const std::string& folder, const std::string& url);

// Reads what `localPath` allows, at most `maxBytes` per file.
MovieSource localFiles(std::string folder, size_t maxBytes = 64u << 20);

}  // namespace vorlo::player
