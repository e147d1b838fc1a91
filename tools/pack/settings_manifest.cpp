#include "tools/pack/settings_manifest.h"

#include <cstdio>

#include "tools/pack/manifest_detail.h"

namespace vorlo::pack {
namespace {

using S = ProjectorSettings;
struct Name {
  const char* name;
  uint32_t value;
};
using Names = std::vector<Name>;

std::string list(const Names& names) {
  std::string s;
  for (const auto& n : names) s += std::string(s.empty() ? "" : ", ") + n.name;
  return s;
}

[[noreturn]] void fail(const toml::node& v, const std::string& message) { throw ManifestError(where(v.source()) + message); }

std::string text(const toml::node& v, const std::string& key) {
  if (!v.is_string()) fail(v, std::string("'") + key + "' must be a text in quotes");
  return *v.value<std::string>();
}

bool boolean(const toml::node& v, const std::string& key) {
  if (!v.is_boolean()) fail(v, std::string("'") + key + "' must be true or false");
  return *v.value<bool>();
}

int64_t integer(const toml::node& v, const std::string& key, int64_t lo, int64_t hi) {
  if (!v.is_integer() || *v.value<int64_t>() < lo || *v.value<int64_t>() > hi) {
    fail(v, std::string("'") + key + "' must be a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
  }
  return *v.value<int64_t>();
}

uint32_t pick(const toml::node& v, const std::string& key, const Names& names) {
  std::string t = text(v, key);
  for (const auto& n : names) {
    if (t == n.name) return n.value;
  }
  fail(v, std::string("'") + key + "' cannot be \"" + t + "\"; choose one of: " + list(names));
}

std::string nameOf(uint32_t value, const Names& names) {
  for (const auto& n : names) {
    if (n.value == value) return n.name;
  }
  return std::to_string(value);
}

template <typename Field>
SettingKey choice(const char* key, Field S::*field, Names names) {
  return {key, [=](S& s, const toml::node& v) { s.*field = static_cast<Field>(pick(v, key, names)); },
          [=](const S& s) { return nameOf(s.*field, names); }};
}

// A list of names, each one bit of the field; bits the list does not own are kept.
SettingKey flags(const char* key, uint32_t S::*field, Names names) {
  uint32_t owned = 0;
  for (const auto& n : names) owned |= n.value;
  return {key,
          [=](S& s, const toml::node& v) {
            const toml::array* a = v.as_array();
            if (!a) fail(v, std::string("'") + key + "' must be a list such as [\"" + names[0].name + "\"]; names: " + list(names));
            uint32_t bits = 0;
            for (const toml::node& item : *a) bits |= pick(item, key, names);
            s.*field = (s.*field & ~owned) | bits;
          },
          [=](const S& s) {
            std::string out;
            for (const auto& n : names) {
              if (s.*field & n.value) out += std::string(out.empty() ? "" : ", ") + "\"" + n.name + "\"";
            }
            return "[" + out + "]";
          }};
}

SettingKey bit(const char* key, uint32_t S::*field, uint32_t mask, bool setWhenTrue = true) {
  return {key,
          [=](S& s, const toml::node& v) {
            bool on = boolean(v, key) == setWhenTrue;
            s.*field = on ? (s.*field | mask) : (s.*field & ~mask);
          },
          [=](const S& s) { return ((s.*field & mask) != 0) == setWhenTrue ? "true" : "false"; }};
}

SettingKey number16(const char* key, uint16_t S::*field) {
  return {key, [=](S& s, const toml::node& v) { s.*field = static_cast<uint16_t>(integer(v, key, 0, 65535)); },
          [=](const S& s) { return std::to_string(s.*field); }};
}

SettingKey fixedText(const char* key, std::string S::*field) {
  return {key,
          [=](S& s, const toml::node& v) {
            std::string t = text(v, key);
            if (t.size() > 259) fail(v, std::string("'") + key + "' is longer than 259 characters");
            s.*field = t;
          },
          [=](const S& s) { return "\"" + s.*field + "\""; }};
}

SettingKey optionalText(const char* key, std::optional<std::string> S::*field) {
  return {key, [=](S& s, const toml::node& v) { s.*field = text(v, key); },
          [=](const S& s) { return (s.*field) ? "\"" + *(s.*field) + "\"" : std::string("(none)"); }};
}

// "#RRGGBB", stored as 0x00BBGGRR; a flag bit may go with it.
SettingKey color(const char* key, uint32_t S::*field, uint32_t S::*flagField = nullptr, uint32_t flag = 0) {
  return {key,
          [=](S& s, const toml::node& v) {
            std::string t = text(v, key);
            unsigned r, g, b;
            char tail;
            if (t.size() != 7 || std::sscanf(t.c_str(), "#%2x%2x%2x%c", &r, &g, &b, &tail) != 3) {
              fail(v, std::string("'") + key + "' must be a colour written as \"#RRGGBB\"");
            }
            s.*field = r | g << 8 | b << 16;
            if (flagField) s.*flagField |= flag;
          },
          [=](const S& s) {
            char b[16];
            uint32_t c = s.*field;
            std::snprintf(b, sizeof b, "\"#%02X%02X%02X\"", c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
            return std::string(b);
          }};
}

SettingKey font(const char* key, LogFont S::*field) {
  return {key,
          [=](S& s, const toml::node& v) {
            const toml::table* t = v.as_table();
            if (!t) fail(v, std::string("'") + key + "' must be a table such as { face = \"Tahoma\", height = 12, bold = true }");
            LogFont f;
            f.charSet = 1;  // the default character set
            for (auto&& [k, item] : *t) {
              std::string n(k.str());
              if (n == "face") {
                f.faceName = text(item, n);
                if (f.faceName.size() > 31) fail(item, "'face' is longer than 31 characters");
              } else if (n == "height") {
                f.height = -static_cast<int32_t>(integer(item, n, 1, 1000));  // character height in pixels
              } else if (n == "bold") {
                f.weight = boolean(item, n) ? 700 : 400;
              } else if (n == "italic") {
                f.italic = boolean(item, n);
              } else if (n == "underline") {
                f.underline = boolean(item, n);
              } else {
                fail(item, "unknown font key '" + n + "'; valid keys: face, height, bold, italic, underline");
              }
            }
            s.*field = f;
          },
          [=](const S& s) {
            const LogFont& f = s.*field;
            return "{ face = \"" + f.faceName + "\", height = " + std::to_string(-f.height) +
                   ", bold = " + (f.weight >= 600 ? "true" : "false") + ", italic = " + (f.italic ? "true" : "false") +
                   ", underline = " + (f.underline ? "true" : "false") + " }";
          }};
}

// Hot keys as "Ctrl+Shift+Q": modifiers as the hot-key control reports them, the key as a virtual-key code.
const Names kModifiers = {{"Shift", 0x1}, {"Ctrl", 0x2}, {"Alt", 0x4}};

SettingKey hotKey() {
  return {"hot-key",
          [](S& s, const toml::node& v) {
            std::string t = text(v, "hot-key"), part;
            uint16_t mods = 0, code = 0;
            size_t start = 0;
            const std::string help = "'hot-key' must be modifiers and a key such as \"Ctrl+Shift+Q\" (modifiers: Shift, "
                                     "Ctrl, Alt; keys: A-Z, 0-9, F1-F24)";
            while (true) {
              size_t plus = t.find('+', start);
              part = t.substr(start, plus == std::string::npos ? std::string::npos : plus - start);
              bool last = plus == std::string::npos;
              if (!last) {
                bool found = false;
                for (const auto& m : kModifiers) {
                  if (part == m.name) mods |= static_cast<uint16_t>(m.value), found = true;
                }
                if (!found) fail(v, help);
                start = plus + 1;
                continue;
              }
              if (part.size() == 1 && ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= '0' && part[0] <= '9'))) {
                code = static_cast<uint16_t>(part[0]);
              } else if (part.size() >= 2 && part[0] == 'F') {
                int n = std::atoi(part.c_str() + 1);
                if (n >= 1 && n <= 24 && std::to_string(n) == part.substr(1)) code = static_cast<uint16_t>(0x70 + n - 1);
              }
              if (!code) fail(v, help);
              break;
            }
            s.hotKeyCode = code;
            s.hotKeyModifiers = mods;
          },
          [](const S& s) {
            std::string out;
            for (const auto& m : kModifiers) {
              if (s.hotKeyModifiers & m.value) out += std::string(m.name) + "+";
            }
            if (s.hotKeyCode >= 0x70 && s.hotKeyCode < 0x88) return "\"" + out + "F" + std::to_string(s.hotKeyCode - 0x6F) + "\"";
            if (s.hotKeyCode == 0) return std::string("(none)");
            return "\"" + out + std::string(1, static_cast<char>(s.hotKeyCode)) + "\"";
          }};
}

}  // namespace

const std::map<std::string, std::vector<SettingKey>>& settingSections() {
  using namespace setting;
  static const std::map<std::string, std::vector<SettingKey>> sections = {
      {"window",
       {choice("shape", &S::windowShape, {{"rectangle", kRectangle}, {"transparent", kTransparent}, {"mask", kMaskShape}}),
        fixedText("mask", &S::shapeMaskName),
        flags("border", &S::borderStyle, {{"none", kBorderNone}, {"single", kBorderSingle}, {"resizable", kBorderResizable},
                                          {"small-caption", kSmallCaption}, {"hide-taskbar-button", kHideTaskButton}}),
        flags("icons", &S::borderIcons, {{"maximize", kMaximizeBox}, {"minimize", kMinimizeBox}, {"system-menu", kSystemMenu}, {"help", kHelpButton}}),
        choice("scale", &S::scaleMode, {{"show-all", kShowAll}, {"no-scale", kNoScale}, {"no-border", kNoBorder}, {"exact-fit", kExactFit}}),
        fixedText("caption", &S::caption),
        choice("size", &S::windowSize, {{"movie", kMovieSize}, {"full-screen", kFullScreen}, {"maximized", kMaximized}, {"custom", kCustomSize}, {"percent", kPercentOfDesktop}}),
        number16("width", &S::customWidth),
        number16("height", &S::customHeight),
        {"percent", [](S& s, const toml::node& v) { s.customHeight = static_cast<uint16_t>(integer(v, "percent", 1, 100)); },
         [](const S& s) { return std::to_string(s.customHeight); }},
        choice("position", &S::pos, {{"top-left", 0}, {"top-center", 1}, {"top-right", 2}, {"center-left", 3}, {"screen-center", 4},
                                     {"center-right", 5}, {"bottom-left", 6}, {"bottom-center", 7}, {"bottom-right", 8},
                                     {"absolute", 9}, {"relative", 10}}),
        number16("x", &S::customX),
        number16("y", &S::customY),
        bit("keep-ratio", &S::bKeepRatio, 1)}},
      {"input",
       {choice("left-click", &S::lBtnClk, {{"send", 0}, {"drag", 1}, {"ignore", 2}}),
        choice("right-click", &S::rBtnClk, {{"player-menu", 0}, {"context-menu", 1}, {"ignore", 2}}),
        flags("keys", &S::keyPress, {{"send", 0x1}, {"ignore", 0x10}, {"disable-windows-keys", 0x100}}),
        flags("exit-keys", &S::exitKeys, {{"esc", 0x1}, {"hot-key", 0x10}}),
        hotKey(),
        flags("system", &S::systemKeys, {{"disable-task-switch", 0x1}, {"hide-cursor", 0x10}, {"no-screen-saver", 0x100}})}},
      {"menu",
       {flags("context-menu", &S::contextMenu, {{"configure", 0x1}, {"player", 0x10}, {"about", 0x100}, {"help", 0x1000}}),
        bit("script-items", &S::contextMenu, 0x2, false)}},
      {"behaviour",
       {bit("auto-play", &S::behaviour, kAutoPlay), bit("start-minimized", &S::behaviour, kStartMinimized),
        bit("always-on-top", &S::behaviour, kAlwaysOnTop), bit("tray-icon", &S::behaviour, kTrayIcon),
        bit("tray-uses-program-icon", &S::behaviour, kAppIconInTray)}},
      {"misc",
       {color("background-color", &S::backgroundColor, &S::miscFlags, kCustomBackground),
        bit("mute", &S::miscFlags, kMute),
        {"help-file",
         [](S& s, const toml::node& v) {
           s.helpFile = text(v, "help-file");
           if (s.helpFile.size() > 259) fail(v, "'help-file' is longer than 259 characters");
           s.miscFlags |= kUseHelpFile;
         },
         [](const S& s) { return (s.miscFlags & kUseHelpFile) ? "\"" + s.helpFile + "\"" : std::string("(none)"); }},
        bit("about-as-splash", &S::miscFlags, kAboutAsSplash)}},
      {"about",
       {optionalText("product-name", &S::productName), optionalText("version", &S::version),
        optionalText("company", &S::companyName), optionalText("copyright", &S::rightsNotice),
        optionalText("info2", &S::infoText2), optionalText("info5", &S::infoText5), optionalText("info6", &S::infoText6),
        optionalText("web-link-text", &S::webLinkText), optionalText("web-link-url", &S::webLinkUrl),
        optionalText("mail-link-text", &S::mailLinkText), optionalText("mail-address", &S::mailAddress),
        color("web-link-color", &S::webLinkColor), color("mail-link-color", &S::mailLinkColor),
        font("web-link-font", &S::webLinkFont), font("mail-link-font", &S::mailLinkFont),
        flags("show", &S::aboutFlags, {{"start-movie", 0x10}, {"picture", 0x100}}),
        fixedText("picture", &S::aboutPicture),
        bit("transparent-picture", &S::aboutFlags, 0x1000)}},
  };
  return sections;
}

ProjectorSettings defaultSettings() {
  using namespace setting;
  ProjectorSettings s;
  s.windowShape = kRectangle;
  s.borderStyle = kBorderResizable;
  s.borderIcons = kMaximizeBox | kMinimizeBox | kSystemMenu;
  s.scaleMode = kShowAll;
  s.windowSize = kMovieSize;
  s.pos = 4;  // screen centre
  s.keyPress = 0x1;
  s.behaviour = kAutoPlay;
  s.webLinkFont.charSet = s.mailLinkFont.charSet = 1;
  return s;
}

std::string describeSettings(const ProjectorSettings& s) {
  std::string out;
  for (const char* section : {"window", "input", "menu", "behaviour", "misc", "about"}) {
    for (const SettingKey& k : settingSections().at(section)) out += std::string(section) + "." + k.name + " = " + k.show(s) + "\n";
  }
  return out;
}

}  // namespace vorlo::pack
