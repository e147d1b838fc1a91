#include "host/data_file/data_file_layout.h"

namespace vorlo {

std::vector<std::u16string> sectionParts(std::u16string_view section) {
  std::vector<std::u16string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= section.size(); ++i) {
    if (i == section.size() || section[i] == u'.' || section[i] == u' ') {
      parts.emplace_back(section.substr(start, i - start));
      start = i + 1;
    }
  }
  return parts;
}

std::optional<int64_t> indexPart(std::u16string_view part) {
  if (part.empty() || part.size() > 10) return std::nullopt;
  uint64_t n = 0;
  for (char16_t c : part) {
    if (c < u'0' || c > u'9') return std::nullopt;
    n = n * 10 + (c - u'0');
  }
  if (n > kMaxDataFileIndex) return std::nullopt;
  return static_cast<int64_t>(n);
}

namespace {
constexpr std::u16string_view kTypeNames[] = {u"string", u"integer", u"boolean", u"float", u"object", u"array"};
}

std::optional<StoredType> storedType(std::u16string_view name) {
  for (size_t i = 0; i < std::size(kTypeNames); ++i)
    if (kTypeNames[i] == name) return static_cast<StoredType>(i);
  return std::nullopt;
}

std::u16string_view storedTypeName(StoredType type) { return kTypeNames[static_cast<size_t>(type)]; }

int64_t integerValue(std::u16string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u' ' || text[i] == u'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
  uint64_t n = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) n = n * 10 + (text[i] - u'0');
  return static_cast<int64_t>(negative ? 0 - n : n);
}

}  // namespace vorlo
