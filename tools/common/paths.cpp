#include "tools/common/paths.h"

#include "util/platform.h"
#include "util/text.h"

namespace vorlo {
namespace {

std::string withoutTrailingSeparator(std::string p) {
  while (p.size() > 1 && (p.back() == '/' || p.back() == '\\')) p.pop_back();
  return p;
}

bool sameText(const std::string& a, const std::string& b) {
#ifdef _WIN32
  return equalsIgnoreCase(a, b);
#else
  return a == b;
#endif
}

}  // namespace

bool samePath(const std::string& a, const std::string& b) {
  return sameText(withoutTrailingSeparator(os::fullPath(a)), withoutTrailingSeparator(os::fullPath(b)));
}

bool isInside(const std::string& path, const std::string& folder) {
  std::string p = withoutTrailingSeparator(os::fullPath(path)), f = withoutTrailingSeparator(os::fullPath(folder));
  if (p.size() <= f.size() || (p[f.size()] != '/' && p[f.size()] != '\\')) return false;
  return sameText(p.substr(0, f.size()), f);
}

}  // namespace vorlo
