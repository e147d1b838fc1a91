#include "host/files/path_rules.h"

namespace vorlo {

bool wildcardMatch(std::u16string_view name, std::u16string_view pattern, char16_t (*fold)(char16_t)) {
  size_t n = 0, p = 0;
  size_t starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

std::vector<std::u16string> filterPatterns(std::u16string_view filter) {
  std::vector<std::u16string> patterns;
  size_t start = 0;
  for (;;) {
    size_t semi = filter.find(u';', start);
    patterns.emplace_back(filter.substr(start, semi == std::u16string_view::npos ? std::u16string_view::npos : semi - start));
    if (semi == std::u16string_view::npos) break;
    start = semi + 1;
  }
  return patterns;
}

bool msToFileTime(int64_t ms, uint64_t* fileTime) {
  // (ms + kMs1601To1970) * 10000 must stay within 0 .. INT64_MAX.
  if (ms < -kMs1601To1970 || ms > INT64_MAX / 10000 - kMs1601To1970) return false;
  *fileTime = static_cast<uint64_t>((ms + kMs1601To1970) * 10000);
  return true;
}

std::u16string drivePart(std::u16string_view path) {
  if (path.size() >= 2 && path[1] == u':') return std::u16string(path.substr(0, 2));
  return {};
}

std::u16string namePart(std::u16string_view path) {
  size_t slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string parentPart(std::u16string_view path) {
  size_t slash = path.find_last_of(u'\\');
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(0, slash));
}

bool isDriveRoot(std::u16string_view path) {
  size_t colon = path.find(u':');
  return colon != std::u16string_view::npos && colon + 2 == path.size() && path[colon + 1] == u'\\';
}

std::u16string joinPath(std::u16string_view folder, std::u16string_view name) {
  std::u16string out(folder);
  if (!out.empty() && out.back() == u'/') out.back() = u'\\';
  if (out.empty() || out.back() != u'\\') out += u'\\';
  out += name;
  return out;
}

bool isSameOrBelow(std::u16string_view inner, std::u16string_view outer, char16_t (*fold)(char16_t)) {
  while (!outer.empty() && (outer.back() == u'\\' || outer.back() == u'/')) outer.remove_suffix(1);
  if (inner.size() < outer.size()) return false;
  for (size_t i = 0; i < outer.size(); ++i) {
    char16_t a = inner[i] == u'/' ? u'\\' : inner[i], b = outer[i] == u'/' ? u'\\' : outer[i];
    if (fold(a) != fold(b)) return false;
  }
  return inner.size() == outer.size() || inner[outer.size()] == u'\\' || inner[outer.size()] == u'/';
}

}  // namespace vorlo
