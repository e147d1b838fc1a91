#include <gtest/gtest.h>

#include <map>

#include "projector/packed_block.h"
#include "projector/settings.h"
#include "projector/settings_load.h"
#include "tests/unit/test_support.h"
#include "util/text.h"

namespace vorlo {
namespace {

// The record built by hand, field by field, from the layout table.
struct Bytes {
  std::vector<uint8_t> b;
  Bytes& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  Bytes& u16(uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  Bytes& raw(std::initializer_list<uint8_t> v) {
    b.insert(b.end(), v);
    return *this;
  }
  Bytes& str(const char* ascii) {  // count of units with the NUL, then the units
    if (!ascii) return u32(0);
    uint32_t n = static_cast<uint32_t>(std::char_traits<char>::length(ascii));
    u32(n + 1);
    for (uint32_t i = 0; i < n; ++i) u16(static_cast<uint8_t>(ascii[i]));
    return u16(0);
  }
  Bytes& font(int32_t height, int32_t weight, uint8_t italic, const char* face) {
    u32(static_cast<uint32_t>(height)).u32(0).u32(0).u32(0).u32(static_cast<uint32_t>(weight));
    raw({italic, 0, 0, 1, 0, 0, 0, 0});
    return str(face);
  }
};

ProjectorSettings sample() {
  ProjectorSettings s;
  s.productName = "Viewer";
  s.companyName = "Acme";
  s.version = "1.5";
  s.windowShape = 2;
  s.borderStyle = 0x1100;
  s.borderIcons = 0x111;
  s.scaleMode = 0x1;
  s.shapeMaskName = "round";
  s.caption = "My Viewer";
  s.windowSize = 3;
  s.customWidth = 800;
  s.customHeight = 600;
  s.pos = 4;
  s.customX = 10;
  s.customY = 20;
  s.bKeepRatio = 1;
  s.lBtnClk = 1;
  s.rBtnClk = 2;
  s.keyPress = 0x101;
  s.exitKeys = 0x11;
  s.systemKeys = 0x10;
  s.hotKeyCode = 'Q';
  s.hotKeyModifiers = 0x3;
  s.contextMenu = 0x1101;
  s.behaviour = 0x1011;
  s.reserved = {0xAA, 0xBB};
  s.miscFlags = 0x1101;
  s.backgroundColor = 0x00C85A28;
  s.helpFile = "help\\guide.chm";
  s.webLinkText = "Home";
  s.mailAddress = "me@example.org";
  s.webLinkColor = 0xFF0000;
  s.mailLinkColor = 0x00FF00;
  s.webLinkFont.height = -12;
  s.webLinkFont.weight = 700;
  s.webLinkFont.italic = 1;
  s.webLinkFont.charSet = 1;
  s.webLinkFont.faceName = "Tahoma";
  s.mailLinkFont.charSet = 1;
  s.aboutFlags = 0x1100;
  s.aboutSpare = 9;
  s.aboutPicture = "about.bmp";
  s.aboutText2 = "two";
  s.spare1 = 1;
  s.spare2 = "s";
  s.spare3 = 3;
  s.spareTime[0] = 0xEA;
  s.spare4 = 4;
  s.spare5 = "five";
  s.spare6 = 6;
  s.spare7 = 7;
  return s;
}

std::vector<uint8_t> sampleBytes() {
  Bytes x;
  x.str("Viewer").str(nullptr).str("Acme").str(nullptr).str(nullptr).str(nullptr).str("1.5");
  x.u32(2).u32(0x1100).u32(0x111).u32(1).str("round").str("My Viewer");
  x.u32(3).u16(800).u16(600).u32(4).u16(10).u16(20).u32(1);
  x.u32(1).u32(2).u32(0x101).u32(0x11).u32(0x10).u16('Q').u16(3);
  x.u32(0x1101).u32(0x1011);
  x.u32(2).raw({0xAA, 0xBB});
  x.u32(0x1101).u32(0x00C85A28).str("help\\guide.chm").u32(0);
  x.str("Home").str(nullptr).str(nullptr).str("me@example.org").u32(0xFF0000).u32(0x00FF00);
  x.font(-12, 700, 1, "Tahoma").font(0, 0, 0, "");
  x.u32(0x1100).u32(9).str("about.bmp").u32(0).str("two");
  x.u32(1).str("s").u32(3).raw({0xEA, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).u32(4).str("five").u16(6).u16(7);
  return x.b;
}

TEST(SettingsRecord, LayoutMatchesAHandBuiltRecord) {
  EXPECT_EQ(serializeSettings(sample()), sampleBytes());
  ProjectorSettings read;
  const auto bytes = sampleBytes();
  PackedReader r(bytes);
  readSettings(r, read);
  EXPECT_FALSE(r.overrun());
  EXPECT_EQ(r.remaining(), 0u);
  EXPECT_EQ(read, sample());
}

TEST(SettingsRecord, TheZeroRecordRoundTrips) {
  ProjectorSettings zero, back;
  auto bytes = serializeSettings(zero);
  PackedReader r(bytes);
  readSettings(r, back);
  EXPECT_EQ(back, zero);
  EXPECT_FALSE(back.productName.has_value());
}

TEST(SettingsRecord, AShortRecordKeepsTheFieldsAfterTheCut) {
  auto bytes = sampleBytes();
  // Cut inside group 3, after customHeight.
  size_t cut = Bytes().str("Viewer").str(nullptr).str("Acme").str(nullptr).str(nullptr).str(nullptr).str("1.5")
                   .u32(2).u32(0x1100).u32(0x111).u32(1).str("round").str("My Viewer").u32(3).u16(800).u16(600).b.size();
  bytes.resize(cut);
  ProjectorSettings s;
  s.pos = 7;
  s.behaviour = 0x100;
  s.aboutPicture = "kept";
  PackedReader r(bytes);
  readSettings(r, s);
  EXPECT_TRUE(r.overrun());
  EXPECT_EQ(s.caption, "My Viewer");
  EXPECT_EQ(s.customHeight, 600);
  EXPECT_EQ(s.pos, 7u);
  EXPECT_EQ(s.behaviour, 0x100u);
  EXPECT_EQ(s.aboutPicture, "kept");
}

TEST(SettingsRecord, AboutTexts) {
  ProjectorSettings s;
  struct {
    const char* version;
    const char* shown;
  } versions[] = {{"1.2", "Version 1.2"}, {"VERSION 3", "VERSION 3"}, {"version", "version"}, {"Vers 4", "Version Vers 4"}};
  for (auto& v : versions) {
    s.version = v.version;
    EXPECT_EQ(aboutVersionText(s), v.shown);
  }
  struct {
    const char* address;
    const char* target;
  } mails[] = {{"a@b.c", "mailto:a@b.c"}, {"MAILTO:a@b.c", "MAILTO:a@b.c"}, {"mailto", "mailto:mailto"}};
  for (auto& m : mails) {
    s.mailAddress = m.address;
    EXPECT_EQ(aboutMailTarget(s), m.target);
  }
}

class MemoryProfile : public ProfileStore {
 public:
  std::map<std::string, std::vector<uint8_t>> values;
  std::optional<std::vector<uint8_t>> readBinary(const std::string& section, const std::string& entry) override {
    auto it = values.find(section + "/" + entry);
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  bool writeBinary(const std::string& section, const std::string& entry, const std::vector<uint8_t>& data) override {
    values[section + "/" + entry] = data;
    return true;
  }
};

class MapResources : public ResourceSource {
 public:
  std::map<std::string, std::vector<uint8_t>> items;
  std::optional<std::vector<uint8_t>> find(std::string_view type, std::string_view name) const override {
    auto it = items.find(toUpperAscii(type) + "/" + toUpperAscii(name));
    if (it == items.end()) return std::nullopt;
    return it->second;
  }
};

TEST(SettingsLoad, SavedOptionsBelongToOnePackageBuild) {
  MapResources package;
  ProjectorSettings packaged;
  packaged.caption = "packaged";
  package.items["QUORIL/ST"] = encodePackedBlock(serializeSettings(packaged));
  package.items["QUORIL/CS"] = std::vector<uint8_t>(16, 1);
  MemoryProfile profile;

  ProjectorSettings first;
  EXPECT_EQ(loadSettings(package, profile, first), SettingsSource::Package);
  EXPECT_EQ(first.caption, "packaged");
  EXPECT_EQ(profile.values["Settings/crc"], std::vector<uint8_t>(16, 1));
  EXPECT_EQ(profile.values["Settings/Options"], serializeSettings(packaged));

  ProjectorSettings changed = packaged;
  changed.caption = "changed by the user";
  profile.values["Settings/Options"] = serializeSettings(changed);
  ProjectorSettings second;
  EXPECT_EQ(loadSettings(package, profile, second), SettingsSource::SavedOptions);
  EXPECT_EQ(second.caption, "changed by the user");

  // A rebuilt package: its record wins and is saved with the new fingerprint.
  package.items["QUORIL/CS"] = std::vector<uint8_t>(16, 2);
  ProjectorSettings third;
  EXPECT_EQ(loadSettings(package, profile, third), SettingsSource::Package);
  EXPECT_EQ(third.caption, "packaged");
  EXPECT_EQ(profile.values["Settings/crc"], std::vector<uint8_t>(16, 2));
  EXPECT_EQ(profile.values["Settings/Options"], serializeSettings(packaged));
}

TEST(SettingsLoad, WithoutFingerprintOrWithADamagedRecord) {
  MapResources package;
  MemoryProfile profile;
  ProjectorSettings saved;
  saved.caption = "saved";
  profile.values["Settings/Options"] = serializeSettings(saved);
  ProjectorSettings packaged;
  packaged.caption = "packaged";
  package.items["QUORIL/ST"] = encodePackedBlock(serializeSettings(packaged));
  ProjectorSettings s;
  EXPECT_EQ(loadSettings(package, profile, s), SettingsSource::Package) << "no fingerprint, no saved options";
  EXPECT_EQ(s.caption, "packaged");

  package.items["QUORIL/CS"] = std::vector<uint8_t>(16, 3);
  package.items["QUORIL/ST"] = std::vector<uint8_t>(40, 0);  // not a packed block
  ProjectorSettings zero;
  EXPECT_EQ(loadSettings(package, profile, zero), SettingsSource::Package);
  EXPECT_EQ(zero, ProjectorSettings{});
  EXPECT_EQ(profile.values["Settings/Options"], serializeSettings(ProjectorSettings{}));
}

}  // namespace
}  // namespace vorlo
