// Comparing paths the way the file system does: made absolute first, letter case ignored on Windows.
#pragma once
#include <string>

namespace vorlo {

bool samePath(const std::string& a, const std::string& b);
// True when path lies inside folder (at any depth).
bool isInside(const std::string& path, const std::string& folder);

}  // namespace vorlo
