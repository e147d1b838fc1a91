// The corpus of trace cases: each movie plays its frames and its trace output must equal the
// expected text. CASES.md lists every case with its result; a case listed as passing must pass.
// Run with --update-cases (or VORLO_AVM1_UPDATE=1) to rewrite the table from this run, keeping the
// reasons written for failing cases. VORLO_AVM1_SHOW=part writes the output and the expected text of
// the cases whose names contain `part` to /tmp/avm1-NAME.got and .want, for looking at failures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "player/player.h"

namespace fs = std::filesystem;
using vorlo::player::Player;

namespace {

std::string readText(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Frames to play: num_frames, or num_ticks (one frame per tick).
int framesOf(const std::string& toml) {
  std::smatch m;
  if (std::regex_search(toml, m, std::regex(R"(num_frames\s*=\s*(\d+))"))) return std::stoi(m[1]);
  if (std::regex_search(toml, m, std::regex(R"(num_ticks\s*=\s*(\d+))"))) return std::stoi(m[1]);
  return 1;
}

std::string expectedOf(const fs::path& p) {
  std::string text = readText(p), out;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
  return out;
}

// Plays a case and returns its trace output.
std::string play(const fs::path& swf, int frames, std::string* error) {
  std::string bytes = readText(swf);
  Player player;
  std::string out;
  player.setTraceHandler([&](const std::string& text) {
    for (char c : text)
      if (c) out += c;
    out += '\n';
  });
  if (!player.load({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, error)) return out;
  for (int frame = 2; frame <= frames && !player.quitRequested(); ++frame) player.advance();
  return out;
}

struct Row {
  bool pass = false;
  std::string reason;
};

std::map<std::string, Row> readTable() {
  std::map<std::string, Row> rows;
  std::istringstream in(readText(VORLO_AVM1_TABLE));
  std::string line;
  std::regex row(R"(^\| `([^`]+)` \| (pass|fail) \| (.*) \|\s*$)");
  while (std::getline(in, line)) {
    std::smatch m;
    if (std::regex_match(line, m, row)) rows[m[1]] = Row{m[2] == "pass", m[3]};
  }
  return rows;
}

std::string firstDifference(const std::string& want, const std::string& got) {
  std::istringstream a(want), b(got);
  std::string la, lb;
  for (int line = 1;; ++line) {
    bool ea = !std::getline(a, la), eb = !std::getline(b, lb);
    if (ea && eb) return "differs in line ends";
    if (ea || eb || la != lb) {
      std::string shown = eb ? "(end)" : lb.substr(0, 60);
      return "line " + std::to_string(line) + ": got \"" + shown + "\"";
    }
  }
}

bool updateRequested() {
  const char* env = std::getenv("VORLO_AVM1_UPDATE");
  return env && *env == '1';
}

TEST(Avm1Corpus, CasesListedAsPassingPass) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(VORLO_AVM1_CASES))
    if (entry.path().extension() == ".swf") names.push_back(entry.path().stem().string());
  std::sort(names.begin(), names.end());
  ASSERT_FALSE(names.empty()) << "no cases in " << VORLO_AVM1_CASES;
  std::map<std::string, Row> table = readTable();
  std::map<std::string, Row> results;
  int passed = 0;
  for (const std::string& name : names) {
    fs::path base = fs::path(VORLO_AVM1_CASES) / name;
    std::string error;
    std::string got = play(base.string() + ".swf", framesOf(readText(base.string() + ".toml")), &error);
    std::string want = expectedOf(base.string() + ".out");
    bool ok = got == want;
    passed += ok;
    if (const char* show = std::getenv("VORLO_AVM1_SHOW"); show && name.find(show) != std::string::npos) {
      std::ofstream(std::string("/tmp/avm1-") + name + ".got", std::ios::binary) << got;
      std::ofstream(std::string("/tmp/avm1-") + name + ".want", std::ios::binary) << want;
    }
    Row r{ok, ok ? "" : firstDifference(want, got)};
    auto listed = table.find(name);
    if (!ok && listed != table.end() && !listed->second.pass && !listed->second.reason.empty() &&
        listed->second.reason.rfind("line ", 0) != 0)
      r.reason = listed->second.reason;  // a reason written by hand stays
    results[name] = r;
    if (listed != table.end() && listed->second.pass) {
      EXPECT_TRUE(ok) << name << " is listed as passing but fails: " << r.reason;
    }
  }
  if (updateRequested()) {
    std::ofstream out(VORLO_AVM1_TABLE, std::ios::binary);
    out << "# ActionScript corpus cases\n\n"
        << "Trace cases from `../shared/player-corpus/avm1/` (Ruffle's regression tests, see\n"
        << "`cases/LICENSE-RUFFLE.md`), run by `player_avm1_tests` as the corpus README says. A case\n"
        << "marked pass must keep passing (the test fails otherwise). Regenerate with\n"
        << "`VORLO_AVM1_UPDATE=1 build/host-avm1/bin/player_avm1_tests`; reasons written by hand for\n"
        << "failing cases are kept.\n\n"
        << "Passing: " << passed << " of " << names.size() << ".\n\n"
        << "| case | result | why it fails |\n|---|---|---|\n";
    for (const auto& [name, r] : results)
      out << "| `" << name << "` | " << (r.pass ? "pass" : "fail") << " | " << r.reason << " |\n";
  }
}

}  // namespace
