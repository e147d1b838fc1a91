// Start-up scripts seen from outside: "Initialize" decides whether the window appears, and the install
// switches run their script in a machine of their own and exit. There are no file classes yet for a
// script to write with, so the scripts trace and the test reads the trace through the runtime's
// VORLO_TRACE_FILE test hook (README, developer notes).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "util/platform.h"

namespace vorlo::e2e {
namespace {

constexpr DWORD kStartTimeout = 20000;

const char kManifest[] = R"(
[application]
id = "Vorlo Tests/Scripts"
start-movie = "Movies/Intro.swf"

[archive]
folder = "files"

[scripts]
Initialize = "init.vos"
AfterInstall = "after.vos"
)";

// Points the runtime's trace output at a file of the project for the life of the object.
class TraceFile {
 public:
  explicit TraceFile(const Project& p) : path_(p.folder() + "trace.txt") {
    SetEnvironmentVariableW(L"VORLO_TRACE_FILE", probe::wide(path_).c_str());
  }
  ~TraceFile() { SetEnvironmentVariableW(L"VORLO_TRACE_FILE", nullptr); }
  std::string text() const {
    std::ifstream f(path_, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

std::string packWith(Project& p, const std::string& initialize) {
  p.add("files/movies/intro.swf", "FWS movie bytes");
  p.add("init.vos", initialize);
  p.add("after.vos", "function done() { return 'after install ran'; }\ntrace(done());\n");
  return p.pack(kManifest);
}

TEST(StartupScripts, InitializeAnsweringFalseEndsTheProgramBeforeAnyWindowShows) {
  Project p;
  TraceFile trace(p);
  std::string package = packWith(p, "trace('initialize ran');\nfalse;\n");
  Process proc;
  launch(proc, package, L"", p.tempFolder());
  EXPECT_NE(proc.waitExit(kStartTimeout), static_cast<DWORD>(STILL_ACTIVE)) << "the program kept running";
  EXPECT_EQ(trace.text(), "initialize ran\r\n");
  EXPECT_TRUE(listNames(p.tempFolder()).empty()) << "the work folder outlived the program";
}

// A failing start-up script is reported before the window opens (startup_messages_test.cpp).
TEST(StartupScripts, InitializeAnsweringZeroStillShowsTheWindow) {
  for (const char* script : {"trace('initialize ran');\n0;\n"}) {
    Project p;
    TraceFile trace(p);
    std::string package = packWith(p, script);
    Process proc;
    HWND frame = startWithWindow(proc, package, L"", p.tempFolder());
    ASSERT_NE(frame, nullptr) << script;
    EXPECT_EQ(trace.text(), "initialize ran\r\n");
    EXPECT_EQ(closeAndWait(proc, frame), 0u);
  }
}

TEST(StartupScripts, AfterInstallRunsItsScriptAndLeavesNothingBehind) {
  Project p;
  TraceFile trace(p);
  std::string package = packWith(p, "trace('FAIL: Initialize must not run');\n");
  Process proc;
  launch(proc, package, L"/AfterInstall", p.tempFolder());
  EXPECT_EQ(proc.waitExit(kStartTimeout), 0u);
  EXPECT_EQ(trace.text(), "after install ran\r\n");
  EXPECT_TRUE(listNames(p.tempFolder()).empty());

  // The package has no BeforeUninst script: the switch runs nothing and still exits cleanly.
  Process uninstall;
  launch(uninstall, package, L"/BeforeUninst", p.tempFolder());
  EXPECT_EQ(uninstall.waitExit(kStartTimeout), 0u);
  EXPECT_EQ(trace.text(), "after install ran\r\n");
}

}  // namespace
}  // namespace vorlo::e2e
