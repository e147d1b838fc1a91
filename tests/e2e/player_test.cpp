// The packaged start movie plays in the built-in player control inside the projector window: the
// control's call log shows the movie put and the movie's own fscommand events arriving from the
// frame timer, and the window shows the movie's picture.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "tools/swf/assembler.h"

namespace vorlo::e2e {
namespace {

const char kManifest[] = R"(
[application]
id = "Vorlo Tests/Player"
start-movie = "Intro.swf"

[archive]
folder = "files"
)";

// A blue stage with a red square that moves each frame; frame 4 says "tick" through fscommand.
const char kMovie[] = R"(
movie version=6 size=200x150 rate=20
background #3366cc
shape 1 { fill solid #ff0000; rect 0 0 20px 20px fill0=1 }
place 1 id=1 at=10px,10px
show
place 1 move at=20px,10px
show
place 1 move at=30px,10px
show
place 1 move at=40px,10px
actions { getURL "FSCommand:tick" "4" }
show
)";

std::vector<uint8_t> movieBytes(const char* text) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!swfasm::assembleSwf(text, bytes, error)) throw std::runtime_error(error);
  return bytes;
}

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// The call log named to the program through VORLO_CONTROL_LOG while the test runs.
class CallLog {
 public:
  explicit CallLog(const std::string& folder) : path_(folder + "\\calls.log") {
    SetEnvironmentVariableW(L"VORLO_CONTROL_LOG", probe::wide(path_).c_str());
  }
  ~CallLog() { SetEnvironmentVariableW(L"VORLO_CONTROL_LOG", nullptr); }
  std::string text() const { return readText(path_); }
  // Waits until the log holds `needle`.
  bool waitFor(const std::string& needle, DWORD timeoutMs) const {
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
      if (text().find(needle) != std::string::npos) return true;
      Sleep(100);
    }
    return false;
  }

 private:
  std::string path_;
};

HWND controlWindowOf(HWND frame) { return GetDlgItem(frame, 1113); }

TEST(Player, BuiltInControlPlaysTheStartMovieInTheWindow) {
  Project p;
  p.add("files/Intro.swf", movieBytes(kMovie));
  std::string package = p.pack(kManifest);
  CallLog log(p.folder());
  Process proc;
  HWND frame = startWithWindow(proc, package, L"", p.tempFolder());
  ASSERT_NE(frame, nullptr) << "no window";

  // The movie reaches its fourth frame, so the timer plays it, and the event comes from there.
  ASSERT_TRUE(log.waitFor("|event FSCommand \"tick\", \"4\"", 15000)) << log.text();
  std::string calls = log.text();
  // The built-in player: the log's module is the package itself.
  std::string module = calls.substr(0, calls.find('|'));
  EXPECT_EQ(module.substr(module.size() - 7), "out.exe") << calls;
  EXPECT_NE(calls.find("|put Playing true"), std::string::npos) << "auto play is on by default\n" << calls;
  EXPECT_NE(calls.find("|put Movie \""), std::string::npos) << calls;
  EXPECT_NE(calls.find("Intro.swf\""), std::string::npos) << calls;
  EXPECT_NE(calls.find("|get FlashVersion -> 524288"), std::string::npos) << calls;

  // The control fills the client area and shows the movie's stage.
  HWND control = controlWindowOf(frame);
  ASSERT_NE(control, nullptr);
  RECT client, inner;
  GetClientRect(frame, &client);
  GetClientRect(control, &inner);
  EXPECT_EQ(inner.right, client.right);
  EXPECT_EQ(inner.bottom, client.bottom);
  // What the screen shows there (the window belongs to another process: read through the screen).
  POINT at{inner.right / 2, inner.bottom - 2};
  ClientToScreen(control, &at);
  HDC screen = GetDC(nullptr);
  COLORREF stage = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(stage, RGB(0x33, 0x66, 0xcc));

  EXPECT_EQ(closeAndWait(proc, frame), 0u);
}

}  // namespace
}  // namespace vorlo::e2e
