// The runtime started as a user starts it: a window appears, the work folder lives as long as the
// program, install switches run without a window, and a package that is not ours is refused.
#include <gtest/gtest.h>

#include "projector/packed_block.h"
#include "projector/resources.h"
#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "util/platform.h"

namespace vorlo::e2e {
namespace {

constexpr DWORD kStartTimeout = 20000;

const char kManifest[] = R"(
[application]
id = "Vorlo Tests/Startup"
start-movie = "Movies/Intro.swf"

[masks]
round = "round.msk"

[archive]
folder = "files"
)";

void addFiles(Project& p) {
  p.add("files/movies/intro.swf", "FWS movie bytes");
  p.add("files/data/notes.txt", "notes");
  p.add("round.msk", maskFile());
}

// The work folder of a running program: the one GUID-named folder in its temporary folder.
std::string workFolderIn(const std::string& temp) {
  auto names = listNames(temp);
  return names.size() == 1 ? temp + names[0] + "\\" : std::string();
}

TEST(Startup, ShowsTheFrameKeepsAWorkFolderAndRemovesItAtExit) {
  Project p;
  addFiles(p);
  std::string package = p.pack(kManifest);
  Process proc;
  HWND frame = startWithWindow(proc, package, L"", p.tempFolder());
  ASSERT_NE(frame, nullptr) << "no window";
  probe::WindowInfo info = probe::describe(frame);
  EXPECT_EQ(info.style & WS_OVERLAPPEDWINDOW, static_cast<DWORD>(WS_OVERLAPPEDWINDOW)) << probe::format(info);
  EXPECT_TRUE(info.exStyle & WS_EX_APPWINDOW) << probe::format(info);
  EXPECT_GT(info.clientWidth, 0);

  std::string work = workFolderIn(p.tempFolder());
  ASSERT_FALSE(work.empty()) << "expected exactly one work folder";
  EXPECT_EQ(work.size() - p.tempFolder().size(), 39u) << work;  // "{GUID}\"
  EXPECT_TRUE(os::isFile(work + "round.msk"));
  // The start movie is extracted under the letter case the movie list gives.
  EXPECT_TRUE(os::isFile(work + "_extra\\Movies\\Intro.swf"));
  EXPECT_FALSE(os::isFile(work + "_extra\\data\\notes.txt")) << "only what is asked for is extracted";

  EXPECT_EQ(closeAndWait(proc, frame), 0u);
  EXPECT_TRUE(listNames(p.tempFolder()).empty()) << "the work folder outlived the program";
}

// Damage found before the main window exists is said once it does, naming what is damaged; the
// program carries on without those records.
TEST(Startup, DamagedMovieListAndMasksAreReportedAndDoNotStopTheProgram) {
  Project p;
  addFiles(p);
  std::string package = p.pack(kManifest);
  editResources(package, [](std::vector<pe::Resource>& list) {
    for (auto& r : list) {
      if (r.type == pe::ResId::str(res::kQuoril) && (r.name == pe::ResId::str(res::kMovieList) || r.name == pe::ResId::str(res::kMasks))) {
        r.data[2] = 7;  // a block version nobody knows
      }
    }
  });
  Process proc;
  launch(proc, package, L"", p.tempFolder());
  std::string first = dismissMessageBox(proc), second = dismissMessageBox(proc);
  EXPECT_EQ(first, "The package's window mask set (resource RG) is damaged: Bad compressed data header");
  EXPECT_EQ(second, "The package's movie list (resource ML) is damaged: Bad compressed data header");
  probe::Query q;
  q.pid = proc.pid();
  HWND frame = probe::waitForWindow(q, kStartTimeout);
  ASSERT_NE(frame, nullptr);
  EXPECT_NE(probe::describe(frame).className, L"#32770");
  std::string work = workFolderIn(p.tempFolder());
  ASSERT_FALSE(work.empty());
  EXPECT_FALSE(os::isFolder(work + "_extra")) << "no start movie, nothing extracted";
  EXPECT_FALSE(os::isFile(work + "round.msk"));
  EXPECT_EQ(closeAndWait(proc, frame), 0u);
}

// A program without a valid identifier says so and stops before it makes a work folder.
void expectInvalidApplicationData(const std::string& program, const std::string& temp) {
  Process proc;
  launch(proc, program, L"", temp);
  probe::Query q;
  q.pid = proc.pid();
  q.className = L"#32770";
  HWND box = probe::waitForWindow(q, kStartTimeout);
  ASSERT_NE(box, nullptr) << "no message box";
  probe::WindowInfo info = probe::describe(box);
  bool saysIt = false;
  for (const auto& c : info.controls) saysIt = saysIt || c.text == L"Invalid application data";
  EXPECT_TRUE(saysIt) << probe::format(info);
  EXPECT_TRUE(listNames(temp).empty()) << "a work folder was made";
  ASSERT_TRUE(probe::pressButton(box, L"OK")) << probe::format(info);
  EXPECT_NE(proc.waitExit(kStartTimeout), STILL_ACTIVE);
  q.className.clear();
  EXPECT_TRUE(probe::findWindows(q).empty());
}

TEST(Startup, ABareRuntimeHasNoApplicationData) {
  Project p;
  expectInvalidApplicationData(runtimePath(), p.tempFolder());
}

TEST(Startup, AnIdentifierWithoutItsSignatureIsRefused) {
  Project p;
  addFiles(p);
  std::string package = p.pack(kManifest);
  editResources(package, [](std::vector<pe::Resource>& list) {
    for (auto& r : list) {
      if (r.type == pe::ResId::str(res::kQuoril) && r.name == pe::ResId::str(res::kAppId)) r.data[0] ^= 0x20;
    }
  });
  expectInvalidApplicationData(package, p.tempFolder());
}

TEST(Startup, InstallSwitchesRunWithoutWindowOrWorkFolder) {
  Project p;
  addFiles(p);
  p.add("after.vsc", "compiled image");
  std::string package = p.pack(std::string(kManifest) + "\n[scripts]\nAfterInstall = \"after.vsc\"\n");
  for (const wchar_t* args : {L"/afterinstall", L"/BeforeUninst extra words"}) {
    Process proc;
    launch(proc, package, args, p.tempFolder());
    EXPECT_EQ(proc.waitExit(kStartTimeout), 0u) << probe::utf8(args);
    probe::Query q;
    q.pid = proc.pid();
    q.visibleOnly = false;
    EXPECT_TRUE(probe::findWindows(q).empty());
    EXPECT_TRUE(listNames(p.tempFolder()).empty()) << probe::utf8(args);
  }
}

TEST(Startup, ASwitchInSecondPlaceIsAnOrdinaryStart) {
  Project p;
  addFiles(p);
  std::string package = p.pack(kManifest);
  Process proc;
  HWND frame = startWithWindow(proc, package, L"movie /AfterInstall", p.tempFolder());
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(closeAndWait(proc, frame), 0u);
}

}  // namespace
}  // namespace vorlo::e2e

namespace vorlo::e2e {
namespace {

// The packager built for Windows makes the same packages as the Linux one, and takes its arguments
// from the wide command line: a name outside the code page arrives intact.
TEST(WindowsPackager, PacksAProjectThatRuns) {
  Project p;
  addFiles(p);
  p.add("vorlo.toml", kManifest);
  std::string package = p.folder() + "Paket-\xC3\x84\xE2\x82\xAC.exe";  // "Paket-" A-umlaut, euro sign
  std::string folder = p.folder().substr(0, p.folder().size() - 1);  // "dir\" would escape the quote
  Process pack;
  launch(pack, hostPath(VORLO_PACK_PATH),
         L"-q --runtime \"" + probe::wide(runtimePath()) + L"\" -o \"" + probe::wide(package) + L"\" \"" +
             probe::wide(folder) + L"\"",
         p.tempFolder());
  ASSERT_EQ(pack.waitExit(kStartTimeout), 0u);
  ASSERT_TRUE(os::isFile(package));

  // The script command takes its file names from the wide command line too.
  std::string source = p.folder() + "Skript-\xC3\x84\xE2\x82\xAC.vos", image = p.folder() + "Skript-\xC3\x84\xE2\x82\xAC.vsc";
  p.add("Skript-\xC3\x84\xE2\x82\xAC.vos", "x = 1;\n");
  Process compile;
  launch(compile, hostPath(VORLO_CLI_PATH), L"compile \"" + probe::wide(source) + L"\"", p.tempFolder());
  EXPECT_EQ(compile.waitExit(kStartTimeout), 0u);
  EXPECT_TRUE(os::isFile(image)) << image;
  Process proc;
  HWND frame = startWithWindow(proc, package, L"", p.tempFolder());
  ASSERT_NE(frame, nullptr);
  std::string work = workFolderIn(p.tempFolder());
  EXPECT_TRUE(os::isFile(work + "_extra\\Movies\\Intro.swf"));
  EXPECT_EQ(closeAndWait(proc, frame), 0u);
}

}  // namespace
}  // namespace vorlo::e2e
