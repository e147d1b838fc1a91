// The settings a package carries, the copy saved in the user's profile, and which one a start uses,
// watched through the registry and the window title (the caption setting).
#include <gtest/gtest.h>

#include "projector/packed_block.h"
#include "projector/resources.h"
#include "projector/settings.h"
#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "util/platform.h"

namespace vorlo::e2e {
namespace {

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    key = "Vorlo Tests " + os::newGuidText();
    project.add("files/movie.swf", "FWS");
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, probe::wide("Software\\" + key).c_str()); }

  std::string pack(const std::string& caption) {
    return project.pack("[application]\nid = \"" + key + "/Viewer\"\nstart-movie = \"movie.swf\"\n[window]\ncaption = \"" +
                        caption + "\"\n");
  }

  // Starts the package, returns its window title and closes it again.
  std::wstring runAndReadTitle(const std::string& package) {
    Process proc;
    HWND frame = startWithWindow(proc, package, L"", project.tempFolder());
    if (!frame) return L"(no window)";
    std::wstring title = probe::describe(frame).title;
    return closeAndWait(proc, frame) == 0 ? title : L"(bad exit)";
  }

  std::wstring valuePath() const { return probe::wide("Software\\" + key + "\\Viewer\\Settings"); }

  std::optional<std::vector<uint8_t>> saved(const wchar_t* name) {
    DWORD type = 0, size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, valuePath().c_str(), name, RRF_RT_REG_BINARY, &type, nullptr, &size) != ERROR_SUCCESS) {
      return std::nullopt;
    }
    std::vector<uint8_t> data(size);
    RegGetValueW(HKEY_CURRENT_USER, valuePath().c_str(), name, RRF_RT_REG_BINARY, &type, data.data(), &size);
    data.resize(size);
    return data;
  }

  void save(const wchar_t* name, const std::vector<uint8_t>& data) {
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, valuePath().c_str(), name, REG_BINARY, data.data(), static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
  }

  static std::vector<uint8_t> resource(const std::string& package, const char* name) {
    auto list = pe::PeFile::fromFile(package).resources();
    const pe::Resource* r = pe::findResource(list, pe::ResId::str(res::kQuoril), pe::ResId::str(name));
    return r ? r->data : std::vector<uint8_t>();
  }

  static ProjectorSettings read(const std::vector<uint8_t>& bytes) {
    ProjectorSettings s;
    PackedReader r(bytes);
    readSettings(r, s);
    return s;
  }

  std::string key;
  Project project;
};

TEST_F(SettingsTest, FirstRunSavesTheOptionsAndLaterRunsUseThem) {
  std::string package = pack("Packaged caption");
  EXPECT_EQ(runAndReadTitle(package), L"Packaged caption");
  auto crc = saved(L"crc");
  auto options = saved(L"Options");
  ASSERT_TRUE(crc && options) << "the first run saves both values";
  EXPECT_EQ(*crc, resource(package, res::kFingerprint));
  EXPECT_EQ(*options, decodePackedBlockOrThrow(resource(package, res::kSettings)));

  ProjectorSettings changed = read(*options);
  changed.caption = "Chosen by the user";
  save(L"Options", serializeSettings(changed));
  EXPECT_EQ(runAndReadTitle(package), L"Chosen by the user") << "saved options win over the packaged ones";
  EXPECT_EQ(read(*saved(L"Options")).caption, "Chosen by the user") << "and are not overwritten";

  // A rebuilt package with other settings discards what the user saved.
  std::string rebuilt = pack("Rebuilt caption");
  EXPECT_NE(resource(rebuilt, res::kFingerprint), *crc);
  EXPECT_EQ(runAndReadTitle(rebuilt), L"Rebuilt caption");
  EXPECT_EQ(*saved(L"crc"), resource(rebuilt, res::kFingerprint));
  EXPECT_EQ(read(*saved(L"Options")).caption, "Rebuilt caption");
}

TEST_F(SettingsTest, ADamagedRecordLeavesZeroSettingsWhichAreSaved) {
  std::string package = pack("Never seen");
  editResources(package, [](std::vector<pe::Resource>& list) {
    for (auto& r : list) {
      if (r.type == pe::ResId::str(res::kQuoril) && r.name == pe::ResId::str(res::kSettings)) r.data.resize(20);
    }
  });
  // The damage is said once the main window exists; the window then opens with the zero record.
  Process proc;
  launch(proc, package, L"", project.tempFolder());
  EXPECT_EQ(dismissMessageBox(proc), "The package's settings record (resource ST) is damaged: Bad compressed data length");
  probe::Query q;
  q.pid = proc.pid();
  HWND frame = probe::waitForWindow(q, 20000);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(probe::describe(frame).title, L"");
  EXPECT_EQ(closeAndWait(proc, frame), 0u);
  auto options = saved(L"Options");
  ASSERT_TRUE(options);
  EXPECT_EQ(*options, serializeSettings(ProjectorSettings{}));
}

TEST_F(SettingsTest, AShortSavedRecordIsReadAsFarAsItGoes) {
  std::string package = pack("Packaged caption");
  ASSERT_EQ(runAndReadTitle(package), L"Packaged caption");
  ProjectorSettings s = read(*saved(L"Options"));
  s.caption = "Short but readable";
  std::vector<uint8_t> bytes = serializeSettings(s);
  // Keep the product texts and the appearance group, up to and including the caption.
  ProjectorSettings head = s;
  PackedWriter w;
  for (const auto* t : {&head.productName, &head.infoText2, &head.companyName, &head.rightsNotice, &head.infoText5, &head.infoText6, &head.version}) w.writeText(*t);
  for (uint32_t v : {head.windowShape, head.borderStyle, head.borderIcons, head.scaleMode}) w.write4(v);
  w.writeText(head.shapeMaskName);
  w.writeText(head.caption);
  bytes.resize(w.bytes().size());
  ASSERT_EQ(bytes, w.bytes());
  save(L"Options", bytes);
  EXPECT_EQ(runAndReadTitle(package), L"Short but readable");
}

}  // namespace
}  // namespace vorlo::e2e
