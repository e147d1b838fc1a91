#include "host/shell/hot_key.h"

#include <vector>

namespace vorlo {
namespace {

constexpr uint8_t kShift = 0x1, kCtrl = 0x2, kAlt = 0x4, kExtended = 0x8;
constexpr uint8_t kVkInsert = 0x2D, kVkHome = 0x24, kVkEnd = 0x23, kVkNumpad0 = 0x60, kVkF1 = 0x70;

char16_t upper(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

bool same(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (upper(a[i]) != upper(b[i])) return false;
  return true;
}

}  // namespace

HotKey parseHotKey(std::u16string_view text) {
  HotKey h;
  size_t start = 0;
  for (;;) {
    size_t plus = text.find(u'+', start);
    std::u16string_view part = text.substr(start, plus == std::u16string_view::npos ? std::u16string_view::npos : plus - start);
    if (same(part, u"CTRL")) h.modifiers |= kCtrl;
    else if (same(part, u"SHIFT")) h.modifiers |= kShift;
    else if (same(part, u"ALT")) h.modifiers |= kAlt;
    else if (same(part, u"ins")) h.key = kVkInsert, h.modifiers |= kExtended;
    else if (same(part, u"home")) h.key = kVkHome, h.modifiers |= kExtended;
    else if (same(part, u"end")) h.key = kVkEnd, h.modifiers |= kExtended;
    else if (part.size() == 5 && same(part.substr(0, 4), u"num ") && part[4] >= u'0' && part[4] <= u'9')
      h.key = static_cast<uint8_t>(kVkNumpad0 + (part[4] - u'0'));
    else if ((part.size() == 2 || part.size() == 3) && upper(part[0]) == u'F' && part[1] >= u'1' && part[1] <= u'9' &&
             (part.size() == 2 || (part[1] == u'1' && part[2] >= u'0' && part[2] <= u'2')))
      h.key = static_cast<uint8_t>(kVkF1 + (part.size() == 2 ? part[1] - u'1' : 9 + part[2] - u'0'));
    else if (!part.empty()) h.key = static_cast<uint8_t>(upper(part[0]));
    if (plus == std::u16string_view::npos) break;
    start = plus + 1;
  }
  return h;
}

std::u16string hotKeyText(HotKey hotKey, std::u16string (*keyName)(HotKey)) {
  if (hotKey.modifiers == 0 && hotKey.key == 0) return u"None";
  std::u16string text;
  auto add = [&](std::u16string_view part) {
    if (!text.empty()) text += u'+';
    text += part;
  };
  if (hotKey.modifiers & kCtrl) add(u"CTRL");
  if (hotKey.modifiers & kShift) add(u"SHIFT");
  if (hotKey.modifiers & kAlt) add(u"ALT");
  if (hotKey.key) add(keyName(hotKey));
  return text;
}

}  // namespace vorlo
