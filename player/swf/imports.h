// ImportAssets: characters that another movie exports, brought into the importing movie under the
// ids its import tags give, with everything they draw with (fonts, bitmaps, nested sprites).
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "player/swf/movie.h"

namespace vorlo::player {

// The bytes of the movie a URL names, as the host allows it; nothing (with `error` set) otherwise.
using MovieSource = std::function<std::optional<std::vector<uint8_t>>(const std::string& url, std::string* error)>;

// Resolves `movie.imports`: each named export of each imported movie is copied into `movie`
// (references inside it renumbered to free ids). What cannot be resolved is a warning of the
// movie; the rest of the movie plays. Imported movies' own imports are resolved a few levels deep.
void resolveImports(Movie& movie, const MovieSource& source);

}  // namespace vorlo::player
