#include "host/registry/registry_rules.h"

namespace vorlo {
namespace {

struct RootName {
  std::u16string_view name;
  uint32_t key;
};
constexpr RootName kRoots[] = {
    {u"HKCR", 0x80000000u}, {u"HKCU", 0x80000001u}, {u"HKLM", 0x80000002u}, {u"HKU", 0x80000003u},
    {u"HKPD", 0x80000004u}, {u"HKCC", 0x80000005u}, {u"HKDD", 0x80000006u},
};

constexpr uint32_t kCreateAccess[] = {0xF003F, 0x20, 4, 8, 0x20019, 0x10, 1, 0x20019, 2, 0x20006};

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

char16_t unitAt(const uint8_t* data, size_t i) { return static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8); }

}  // namespace

std::optional<uint32_t> rootKeyValue(std::u16string_view name) {
  for (const RootName& r : kRoots) {
    if (r.name.size() != name.size()) continue;
    size_t i = 0;
    while (i < name.size() && upper(name[i]) == r.name[i]) ++i;
    if (i == name.size()) return r.key;
  }
  return std::nullopt;
}

KeyPath splitKeyPath(std::u16string_view path) {
  size_t slash = path.find(u'\\');
  if (slash == std::u16string_view::npos) return {path, {}};
  return {path.substr(0, slash), path.substr(slash + 1)};
}

uint32_t createAccess(int64_t index) {
  return index >= 0 && index < static_cast<int64_t>(std::size(kCreateAccess)) ? kCreateAccess[index] : kCreateAccess[0];
}

std::u16string dataText(const uint8_t* data, size_t length) {
  std::u16string text;
  for (size_t i = 0; i < length / 2; ++i) {
    char16_t u = unitAt(data, i);
    if (!u) break;
    text += u;
  }
  return text;
}

std::vector<std::u16string> dataStrings(const uint8_t* data, size_t length) {
  std::vector<std::u16string> strings;
  std::u16string current;
  for (size_t i = 0; i < length / 2; ++i) {
    char16_t u = unitAt(data, i);
    if (u) {
      current += u;
      continue;
    }
    if (current.empty()) return strings;  // the list's terminator
    strings.push_back(std::move(current));
    current.clear();
  }
  if (!current.empty()) strings.push_back(std::move(current));
  return strings;
}

std::vector<uint8_t> terminatedMultiString(const uint8_t* data, size_t length) {
  std::vector<uint8_t> copy(data, data + (length & ~size_t(1)));
  size_t units = copy.size() / 2;
  auto zeroAt = [&](size_t fromEnd) { return units >= fromEnd && unitAt(copy.data(), units - fromEnd) == 0; };
  if (units == 0) {
    copy.assign(4, 0);  // an empty list: two terminators
  } else if (!zeroAt(1)) {
    copy.insert(copy.end(), 4, 0);
  } else if (!zeroAt(2)) {
    copy.insert(copy.end(), 2, 0);
  }
  return copy;
}

}  // namespace vorlo
