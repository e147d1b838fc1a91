// The text form of a hot key ("CTRL+ALT+F5"), shared by the shell link classes and the application's
// interaction settings: a modifier byte (0x1 Shift, 0x2 Ctrl, 0x4 Alt, 0x8 extended) and a
// virtual-key byte.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace vorlo {

struct HotKey {
  uint8_t modifiers = 0;
  uint8_t key = 0;
};

// Parts split at "+", compared ignoring case: CTRL, SHIFT, ALT; ins, home, end (extended keys);
// "num 0".."num 9"; f1..f12; anything else is the upper-case form of its first character. Later
// keys override earlier ones.
HotKey parseHotKey(std::u16string_view text);
// "None" for no key; otherwise the modifiers ("CTRL", "SHIFT", "ALT" in that order) and then the
// key's name as `keyName` gives it, joined by "+".
std::u16string hotKeyText(HotKey hotKey, std::u16string (*keyName)(HotKey));

}  // namespace vorlo
