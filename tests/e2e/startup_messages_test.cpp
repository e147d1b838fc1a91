// What the runtime says when its start-up goes wrong, read as a user reads it: the message box
// (through the window probe), the trace output and the exit status.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "util/file.h"
#include "util/platform.h"

namespace vorlo::e2e {
namespace {

constexpr DWORD kStartTimeout = 20000;

const char kManifest[] = R"(
[application]
id = "Vorlo Tests/Messages"
start-movie = "Movies/Intro.swf"

[scripts]
Initialize = "init.vos"
)";

std::string readText(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

std::string packWith(Project& p, const std::string& initialize, const std::string& manifest = kManifest) {
  p.add("files/movies/intro.swf", "FWS movie bytes");
  p.add("init.vos", initialize);
  return p.pack(manifest);
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// A start-up script whose run fails is reported in a message box and in the trace output, with the
// function where it stopped; the window then opens as the script left things.
TEST(StartupMessages, AFailingStartupScriptIsReportedAndTheWindowStillOpens) {
  struct Case {
    const char* script;
    const char* expected;
  };
  const Case cases[] = {
      {"function thrower() { throw 'the script gave up'; }\nthrower();\n", "the script gave up\nin function thrower"},
      {"function down() { return down(); }\ndown();\n", "Runtime error: stack overflow\nin function down"},
  };
  for (const Case& c : cases) {
    Project p;
    std::string trace = p.folder() + "trace.txt";
    SetEnvironmentVariableW(L"VORLO_TRACE_FILE", probe::wide(trace).c_str());
    std::string package = packWith(p, c.script);
    Process proc;
    launch(proc, package, L"", p.tempFolder());
    std::string said = dismissMessageBox(proc);
    SetEnvironmentVariableW(L"VORLO_TRACE_FILE", nullptr);
    EXPECT_TRUE(contains(said, std::string("The packaged script \"Initialize\" failed: ") + c.expected)) << said;
    EXPECT_TRUE(contains(readText(trace), std::string("The packaged script \"Initialize\" failed: ") + c.expected)) << readText(trace);
    probe::Query q;
    q.pid = proc.pid();
    HWND frame = probe::waitForWindow(q, kStartTimeout);
    ASSERT_NE(frame, nullptr) << c.script;
    EXPECT_EQ(closeAndWait(proc, frame), 0u);
  }
}

// Damage is reported the same way whatever is damaged, naming the packaged file, script or record; a
// start-up script that cannot be used and a work folder that cannot be made end the program (status 1).
TEST(StartupMessages, DamageIsReportedNamingWhatIsDamaged) {
  struct Case {
    const char* what;
    void (*damage)(std::vector<uint8_t>& package);
    const char* expected;
    bool ends;
  };
  const Case cases[] = {
      {"the start movie's CRC", [](auto& b) { b[b.size() - 9] ^= 0xFF; },
       "The packaged file \"Movies/Intro.swf\" is damaged: its data ends early or its CRC does not match", false},
      {"a cut archive", [](auto& b) { b.resize(b.size() - 5); }, "The package's archive is damaged", false},
  };
  for (const Case& c : cases) {
    Project p;
    std::string package = packWith(p, "x = 1;\n");
    std::vector<uint8_t> bytes;
    {
      File f;
      ASSERT_TRUE(f.open(package, File::Mode::Read));
      bytes.resize(static_cast<size_t>(f.size()));
      ASSERT_TRUE(f.readExact(bytes.data(), bytes.size()));
    }
    c.damage(bytes);
    {
      File f;
      ASSERT_TRUE(f.open(package, File::Mode::Create) && f.write(bytes.data(), bytes.size()));
    }
    Process proc;
    launch(proc, package, L"", p.tempFolder());
    std::string said = dismissMessageBox(proc);
    EXPECT_TRUE(contains(said, c.expected)) << c.what << ": " << said;
    probe::Query q;
    q.pid = proc.pid();
    HWND frame = probe::waitForWindow(q, kStartTimeout);
    ASSERT_NE(frame, nullptr) << c.what;
    EXPECT_EQ(closeAndWait(proc, frame), 0u);
  }

  // A start-up script that is not an image ends the program after saying so.
  {
    Project p;
    p.add("files/movies/intro.swf", "FWS movie bytes");
    p.add("init.vsc", "not an image at all");
    std::string package = p.pack(R"(
[application]
id = "Vorlo Tests/Messages"
[scripts]
Initialize = "init.vsc"
)");
    Process proc;
    launch(proc, package, L"", p.tempFolder());
    std::string said = dismissMessageBox(proc);
    EXPECT_TRUE(contains(said, "The packaged script \"Initialize\" is damaged: ")) << said;
    EXPECT_EQ(proc.waitExit(kStartTimeout), 1u);
    EXPECT_TRUE(listNames(p.tempFolder()).empty());
  }

  // A temporary folder that is not there: the message names the folder that could not be made.
  {
    Project p;
    std::string package = packWith(p, "x = 1;\n");
    std::string missing = p.folder() + "no-such-temp\\";
    Process proc;
    launch(proc, package, L"", missing);
    std::string said = dismissMessageBox(proc);
    EXPECT_TRUE(contains(said, "The work folder " + missing + "{")) << said;
    EXPECT_TRUE(contains(said, "cannot be made")) << said;
    EXPECT_EQ(proc.waitExit(kStartTimeout), 1u);
  }
}

}  // namespace
}  // namespace vorlo::e2e
