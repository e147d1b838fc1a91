// The projector settings record: how the window looks and behaves. It travels packaged (resource
// ST), is saved in the user's profile ("Settings"/"Options") and is read and written in one layout.
#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "projector/packed_io.h"

namespace vorlo {

// Flag and value names used by the runtime and the packager.
namespace setting {
enum WindowShape : uint32_t { kRectangle = 0, kTransparent = 1, kMaskShape = 2 };
enum BorderStyle : uint32_t { kBorderNone = 0x1, kBorderSingle = 0x10, kBorderResizable = 0x100, kSmallCaption = 0x1000, kHideTaskButton = 0x10000 };
enum BorderIcons : uint32_t { kMaximizeBox = 0x1, kMinimizeBox = 0x10, kSystemMenu = 0x100, kHelpButton = 0x1000 };
enum ScaleMode : uint32_t { kShowAll = 0x1, kNoScale = 0x10, kNoBorder = 0x2, kExactFit = 0x100 };
enum WindowSize : uint32_t { kMovieSize = 0, kFullScreen = 1, kMaximized = 2, kCustomSize = 3, kPercentOfDesktop = 4 };
enum MiscFlags : uint32_t { kCustomBackground = 0x1, kAboutAsSplash = 0x10, kMute = 0x100, kUseHelpFile = 0x1000 };
enum Behaviour : uint32_t { kAutoPlay = 0x1, kAppIconInTray = 0x2, kStartMinimized = 0x10, kAlwaysOnTop = 0x100, kTrayIcon = 0x1000 };
}  // namespace setting

struct ProjectorSettings {
  // 1. Product texts (About box).
  std::optional<std::string> productName, infoText2, companyName, rightsNotice, infoText5, infoText6, version;
  // 2. Appearance.
  uint32_t windowShape = 0, borderStyle = 0, borderIcons = 0, scaleMode = 0;
  std::string shapeMaskName, caption;
  // 3. Size and position.
  uint32_t windowSize = 0;
  uint16_t customWidth = 0, customHeight = 0;
  uint32_t pos = 0;
  uint16_t customX = 0, customY = 0;
  uint32_t bKeepRatio = 0;
  // 4. Interaction.
  uint32_t lBtnClk = 0, rBtnClk = 0, keyPress = 0, exitKeys = 0, systemKeys = 0;
  uint16_t hotKeyCode = 0, hotKeyModifiers = 0;
  // 5. Menu and behaviour.
  uint32_t contextMenu = 0, behaviour = 0;
  // The reserved block after group 5, carried as read: a u32 byte count and that many bytes.
  std::vector<uint8_t> reserved;
  // 6. Miscellaneous.
  uint32_t miscFlags = 0, backgroundColor = 0;
  std::string helpFile;
  // 7. About-box links and picture.
  std::optional<std::string> webLinkText, webLinkUrl, mailLinkText, mailAddress;
  uint32_t webLinkColor = 0, mailLinkColor = 0;
  LogFont webLinkFont, mailLinkFont;
  uint32_t aboutFlags = 0, aboutSpare = 0;
  std::string aboutPicture, aboutText2;
  // 8. Spare group, carried unchanged.
  uint32_t spare1 = 0;
  std::optional<std::string> spare2;
  uint32_t spare3 = 0;
  std::array<uint8_t, 16> spareTime{};
  uint32_t spare4 = 0;
  std::string spare5;
  uint16_t spare6 = 0, spare7 = 0;

  bool operator==(const ProjectorSettings&) const = default;
};

// Reads the layout in order; a record cut short leaves the fields after the cut as they were.
void readSettings(PackedReader& r, ProjectorSettings& s);
void writeSettings(PackedWriter& w, const ProjectorSettings& s);
std::vector<uint8_t> serializeSettings(const ProjectorSettings& s);

// The About box's texts derived from the record.
std::string aboutVersionText(const ProjectorSettings& s);
std::string aboutMailTarget(const ProjectorSettings& s);

}  // namespace vorlo
