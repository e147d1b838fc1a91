// Round trips per second between a movie and the scripts of its package, in the real runtime: the
// movie calling a script function through ExternalInterface.call and getting its answer, a script
// calling a function the movie registered, and a script reading a movie variable with
// FlashPlayer.getVariable. The movie and the script time their own loops; this program packs the
// application, runs it and prints what they measured.
//
//   bridge_bench.exe [N]     (N round trips of each kind, 2000 by default)
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/e2e/harness.h"
#include "tests/probe/probe.h"
#include "tools/swf/assembler.h"

namespace {

const char kManifest[] = R"(
[application]
id = "Vorlo Bench/Bridge"
start-movie = "Bench.swf"

[archive]
folder = "files"

[scripts]
Initialize = "init.vos"
bench = "bench.vos"
)";

std::string movieText(int n) {
  std::string count = std::to_string(n);
  return R"(movie version=8 size=100x100 rate=30
actions {
  push "flash"
  getVariable
  push "external"
  getMember
  push "ExternalInterface"
  getMember
  storeRegister 1
  pop
  function "" v {
    push "v"
    getVariable
    return
  }
  push null "ping" 3 r:1 "addCallback"
  callMethod
  pop
  push "score" 42
  setVariable
  push 0
  storeRegister 3
  pop
loop:
  push r:3 )" + count + R"(
  less2
  not
  if done
  push r:3 "pong" 2 r:1 "call"
  callMethod
  pop
  push r:3 1
  add2
  storeRegister 3
  pop
  jump loop
done:
  push )" + count + R"( "eiDone" 2 r:1 "call"
  callMethod
  pop
  getURL "FSCommand:Vorlo_Run" "bench"
}
show
actions {
  stop
  getURL "FSCommand:quit" ""
}
show
)";
}

// The movie's clock is the frame clock, so the script times the movie's loop: from the first call
// to the last.
const char kInit[] = R"(
var calls = 0, first = 0, last = 0;
function pong(v) {
  var now = new Date().getTime();
  if (calls == 0) first = now;
  calls++;
  last = now;
  return v;
}
function benchResult(what, n, ms) { trace(what + ": " + n + " in " + ms + " ms"); return true; }
function eiDone(n) { return benchResult("ExternalInterface.call into a script function", n - 1, last - first); }
)";

std::string benchScript(int n) {
  return "var n = " + std::to_string(n) + R"(;
var t0 = new Date().getTime();
for (var i = 0; i < n; i++) _call("ping", [i]);
benchResult("a script calling a movie function", n, new Date().getTime() - t0);
var f = new FlashPlayer();
t0 = new Date().getTime();
for (var i = 0; i < n; i++) f.getVariable("score");
benchResult("FlashPlayer.getVariable", n, new Date().getTime() - t0);
)";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace vorlo::e2e;
  int n = argc > 1 ? std::atoi(argv[1]) : 2000;
  if (n <= 0) n = 2000;
  try {
    Project p;
    std::string tracePath = p.folder() + "trace.txt";
    SetEnvironmentVariableW(L"VORLO_TRACE_FILE", vorlo::probe::wide(tracePath).c_str());
    std::vector<uint8_t> movie;
    std::string error;
    if (!vorlo::swfasm::assembleSwf(movieText(n), movie, error)) throw std::runtime_error(error);
    p.add("files/Bench.swf", movie);
    p.add("init.vos", kInit);
    p.add("bench.vos", benchScript(n));
    std::string package = p.pack(kManifest);
    Process run;
    launch(run, package, L"", p.tempFolder());
    DWORD code = run.waitExit(600000);
    std::ifstream in(tracePath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::printf("%s", text.str().c_str());
    for (std::string line; std::getline(text, line);) {
      size_t colon = line.find(": "), inPos = line.find(" in "), ms = line.find(" ms");
      if (colon == std::string::npos || inPos == std::string::npos || ms == std::string::npos) continue;
      double count = std::atof(line.c_str() + colon + 2), millis = std::atof(line.c_str() + inPos + 4);
      if (millis > 0) std::printf("  %s: %.0f round trips per second\n", line.substr(0, colon).c_str(), count * 1000 / millis);
    }
    return code == 0 ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bridge_bench: %s\n", e.what());
    return 1;
  }
}
