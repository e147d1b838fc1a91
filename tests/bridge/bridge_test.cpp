// The movie-to-script bridge end to end: a packaged application whose movie (tests/bridge/
// bridge_movie.swfasm) registers callbacks, calls scripts through ExternalInterface and runs them with
// fscommand, under the real runtime. One run checks the whole conversation; the scripts trace what
// they see and the test reads the trace through the runtime's VORLO_TRACE_FILE hook.
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
id = "Vorlo Tests/Bridge"
start-movie = "Bridge.swf"

[archive]
folder = "files"

[scripts]
Initialize = "init.vos"
onStart = "on_start.vos"
a1 = "a1.vos"
a2 = "a2.vos"
)";

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string source(const char* name) {
  std::string text = readText(hostPath(std::string(VORLO_BRIDGE_TEST_DIR) + "/" + name));
  if (text.empty()) throw std::runtime_error(std::string("missing test source ") + name);
  return text;
}

std::vector<uint8_t> movieBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string error;
  if (!swfasm::assembleSwf(text, bytes, error)) throw std::runtime_error(error);
  return bytes;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::stringstream s(text);
  for (std::string line; std::getline(s, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
  }
  return out;
}

TEST(Bridge, MovieAndScriptsTalkBothWays) {
  Project p;
  std::string tracePath = p.folder() + "trace.txt";
  SetEnvironmentVariableW(L"VORLO_TRACE_FILE", probe::wide(tracePath).c_str());
  p.add("files/Bridge.swf", movieBytes(source("bridge_movie.swfasm")));
  for (const char* script : {"init.vos", "on_start.vos", "a1.vos", "a2.vos"}) p.add(script, source(script));
  std::string package = p.pack(kManifest);

  Process run;
  launch(run, package, L"", p.tempFolder());
  // The movie's last frame sends "quit": the program ends by itself.
  DWORD code = run.waitExit(30000);
  SetEnvironmentVariableW(L"VORLO_TRACE_FILE", nullptr);
  EXPECT_EQ(code, 0u);

  const std::vector<std::string> expected = {
      "init",
      // The movie's external calls, made by its second frame (the first timer tick) before the
      // events of its first frame are delivered. (AVM1 pushes the last argument first: of two calls
      // in one report the first made is the last reported.)
      "eval number 3",
      // Every kind from the movie: an entity text stays an entity text, the empty string and the
      // text null both arrive empty.
      "kinds [number 1,'x'] {k:'&lt;';} '' '' number 4294967301 boolean true null number 1.5 'a<b&c'",
      "cyclic undefined",
      "nosuch undefined",
      // A handle made, called, its property read and written, sent back in a wrapper, then deleted
      // (true, then false); forged handles are refused.
      "length number 7",
      "line 'hello'",
      "wrapped number 7",
      "forged undefined boolean false",
      "delete boolean false boolean true",
      // A movie function name that is not a name compiles nothing.
      "seh undefined",
      // The first fscommand runs a packaged script after Initialize; it calls the movie's callbacks.
      "onStart",
      "add number 5",
      // Every kind there and back: 2^32 + 5 goes as its low 32 bits, the empty string and the text
      // null both come back empty, an entity text stays an entity text.
      "echo [number 1,'a<b&c','',number 5,{k:'&lt;';},null,boolean true,number 1.5,'']",
      "nothing undefined",
      // FlashPlayer against the movie's variables and clips.
      "player '[object FlashPlayer]' number 4 number 1 boolean true number 524288",
      "score '42' boolean true '43' undefined",
      "array [number 10,boolean true,'c']",
      "putArray [number 7,'eight','c']",
      "object {x:'1';} undefined",
      "putObject '5' undefined",
      "target number 0 boolean true number 1 'second' number -1",
      "property boolean true number 12.5 undefined '12.5' undefined",
      "bound '[object MovieClip]' number 1 number 5",
      "unbound '99' number 5 '[object MovieClip]'",
      "Warning: using undefined property \"obj\"",
      "all undefined",
      // The commands of one frame in order; the queued runs follow when the program is idle.
      "init",
      "eval command 42",
      "a1",
      "a2",
  };
  std::string trace = readText(tracePath);
  EXPECT_EQ(lines(trace), expected) << trace;
  EXPECT_EQ(trace.find("injected"), std::string::npos);
}

}  // namespace
}  // namespace vorlo::e2e
