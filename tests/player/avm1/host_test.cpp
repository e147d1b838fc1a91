// The host's calls into a movie (what the player control's scripting methods use): variables and
// clip properties by path, the target methods, and the external interface both ways.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "player/player.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

// Loads an assembled movie into `player` (which collects traces into `out`).
void load(Player& player, std::string& out, const std::string& text) {
  std::vector<uint8_t> swf;
  std::string error;
  ASSERT_TRUE(swfasm::assembleSwf(text, swf, error)) << error;
  player.setTraceHandler([&](const std::string& line) { out += line + "\n"; });
  ASSERT_TRUE(player.load(swf, &error)) << error;
}

TEST(Avm1Host, VariablesAndPropertiesByPath) {
  Player player;
  std::string out;
  load(player, out,
       "movie version=8 size=100x100\nactions {\n"
       "push \"v\" \"hi\"\nsetVariable\n"
       "push 1 \"c\" 2 \"createEmptyMovieClip\"\ncallFunction\npush \"w\" 5\nsetMember\n"
       "}\nshow\n");
  EXPECT_EQ(player.getVariable("v"), "hi");
  EXPECT_EQ(player.getVariable("/c:w"), "5");
  EXPECT_EQ(player.getVariable("_level0.c.w"), "5");
  EXPECT_EQ(player.getVariable("nothing"), std::nullopt);
  EXPECT_EQ(player.getVariable("/missing:w"), std::nullopt);
  EXPECT_TRUE(player.setVariable("/c:w", "7"));
  EXPECT_EQ(player.getVariable("c.w"), "7");
  EXPECT_FALSE(player.setVariable("/missing:w", "1"));
  // Clip properties by number: 0 is _x, 13 _name.
  EXPECT_TRUE(player.setProperty("/c", 0, "12.5"));
  EXPECT_EQ(player.getProperty("/c", 0), "12.5");
  EXPECT_EQ(player.getProperty("_level0.c", 13), "c");
  EXPECT_EQ(player.getProperty("/missing", 0), std::nullopt);
}

TEST(Avm1Host, TargetMethodsMoveAndCallFrames) {
  Player player;
  std::string out;
  load(player, out,
       "movie version=8 size=100x100\n"
       "actions {\npush \"one\"\ntrace\n}\nshow\n"
       "label \"second\"\nactions {\npush \"two\"\ntrace\n}\nshow\n"
       "actions {\npush \"three\"\ntrace\n}\nshow\n");
  EXPECT_EQ(out, "one\n");
  // Calling a frame runs its actions and leaves the playhead where it was.
  EXPECT_TRUE(player.callLabel("/", "second"));
  EXPECT_TRUE(player.callFrame("", 2));
  EXPECT_FALSE(player.callFrame("/", 3));
  EXPECT_EQ(player.currentFrame("/"), 0);
  EXPECT_EQ(out, "one\ntwo\nthree\n");
  // Going to a frame runs its actions and stops there.
  EXPECT_TRUE(player.gotoLabel("/", "second"));
  EXPECT_EQ(player.currentFrame("/"), 1);
  EXPECT_EQ(player.currentLabel("/"), "second");
  EXPECT_FALSE(player.gotoFrame("/", 5));
  EXPECT_EQ(out, "one\ntwo\nthree\ntwo\n");
  player.advance();
  EXPECT_EQ(player.currentFrame("/"), 1);
  EXPECT_TRUE(player.play("/"));
  player.advance();
  EXPECT_EQ(player.currentFrame("/"), 2);
  EXPECT_EQ(player.currentFrame("/nothing"), -1);
}

TEST(Avm1Host, ExternalInterfaceBothWays) {
  std::string movie =
      "movie version=8 size=100x100\nactions {\n"
      "push \"flash\"\ngetVariable\npush \"external\"\ngetMember\npush \"ExternalInterface\"\ngetMember\n"
      "storeRegister 1\npop\n"
      "push r:1 \"available\"\ngetMember\ntrace\n"
      // call("f", "a<b", 1, [true])
      "push true 1\ninitArray\npush 1 \"a<b\" \"f\" 4 r:1 \"call\"\ncallMethod\ntrace\n"
      // addCallback("g", null, function (a, b) { return a + b; })
      "function \"\" a b {\n  push \"a\"\n  getVariable\n  push \"b\"\n  getVariable\n  add2\n  return\n}\n"
      "push null \"g\" 3 r:1 \"addCallback\"\ncallMethod\ntrace\n"
      "}\nshow\n";
  {
    // Without a host the interface is not available: calls answer null, callbacks are refused.
    Player player;
    std::string out;
    load(player, out, movie);
    EXPECT_EQ(out, "false\nnull\nfalse\n");
    EXPECT_EQ(player.callFunction("<invoke name=\"g\" returntype=\"xml\"><arguments/></invoke>"), "");
  }
  Player player;
  std::string request;
  player.setExternalCallHandler([&](const std::string& xml) {
    request = xml;
    return std::string("<object><property id=\"n\"><number>42</number></property></object>");
  });
  std::string out;
  load(player, out, movie);
  EXPECT_EQ(out, "true\n[object Object]\ntrue\n");
  EXPECT_EQ(request,
            "<invoke name=\"f\" returntype=\"xml\"><arguments><string>a&lt;b</string><number>1</number>"
            "<array><property id=\"0\"><true/></property></array></arguments></invoke>");
  EXPECT_EQ(player.callFunction("<invoke name=\"g\" returntype=\"xml\"><arguments><number>2</number>"
                                "<number>3</number></arguments></invoke>"),
            "<number>5</number>");
  EXPECT_EQ(player.callFunction("<invoke name=\"g\" returntype=\"xml\"><arguments><string>x&amp;</string>"
                                "<undefined/></arguments></invoke>"),
            "<string>x&amp;undefined</string>");
  EXPECT_EQ(player.callFunction("<invoke name=\"nope\" returntype=\"xml\"><arguments/></invoke>"), "");
  EXPECT_EQ(player.callFunction("not xml"), "");
}

TEST(Avm1Host, LoadsArriveThroughTheSourceOnALaterFrame) {
  Player player;
  std::vector<std::string> asked;
  player.setMovieSource([&](const std::string& url, std::string* error) -> std::optional<std::vector<uint8_t>> {
    asked.push_back(url);
    std::string text = url == "vars.txt" ? "a=one+two&b=%21" : url == "doc.xml" ? "<r><i/></r>" : "";
    if (text.empty()) {
      *error = "not found";
      return std::nullopt;
    }
    return std::vector<uint8_t>(text.begin(), text.end());
  });
  std::string out;
  load(player, out,
       "movie version=8 size=100x100\nactions {\n"
       // lv = new LoadVars(); lv.onLoad = function (ok) { trace(ok + ":" + this.a + ":" + this.b) }
       "push 0 \"LoadVars\"\nnewObject\nstoreRegister 1\npop\n"
       "function \"\" ok {\n  push \"ok\"\n  getVariable\n  push \":\"\n  add2\n  push \"this\"\n  getVariable\n"
       "  push \"a\"\n  getMember\n  add2\n  push \":\"\n  add2\n  push \"this\"\n  getVariable\n  push \"b\"\n"
       "  getMember\n  add2\n  trace\n}\nstoreRegister 2\npop\n"
       "push r:1 \"onLoad\" r:2\nsetMember\n"
       "push \"vars.txt\" 1 r:1 \"load\"\ncallMethod\ntrace\n"
       // a second LoadVars whose file is missing
       "push 0 \"LoadVars\"\nnewObject\nstoreRegister 3\npop\npush r:3 \"onLoad\" r:2\nsetMember\n"
       "push \"missing.txt\" 1 r:3 \"load\"\ncallMethod\npop\n"
       // x = new XML(); x.onLoad = function (ok) { trace(this.firstChild.nodeName) }; x.load("doc.xml")
       "push 0 \"XML\"\nnewObject\nstoreRegister 3\npop\n"
       "function \"\" ok {\n  push \"this\"\n  getVariable\n  push \"firstChild\"\n  getMember\n"
       "  push \"nodeName\"\n  getMember\n  trace\n}\nstoreRegister 1\npop\npush r:3 \"onLoad\" r:1\nsetMember\n"
       "push \"doc.xml\" 1 r:3 \"load\"\ncallMethod\npop\n"
       // loadVariables("vars.txt", "/c") into a new clip
       "push 1 \"c\" 2 \"createEmptyMovieClip\"\ncallFunction\npop\n"
       "push \"vars.txt\" \"/c\"\ngetURL2 variables\n"
       "}\nshow\nshow\n");
  EXPECT_EQ(out, "true\n");  // nothing arrives during the frame that asked
  EXPECT_TRUE(asked.empty());
  player.advance();
  EXPECT_EQ(out, "true\ntrue:one two:!\nfalse:undefined:undefined\nr\n");
  EXPECT_EQ(player.getVariable("/c:a"), "one two");
  EXPECT_EQ(asked, (std::vector<std::string>{"vars.txt", "missing.txt", "doc.xml", "vars.txt"}));
}

TEST(Avm1Host, SharedObjectsKeepTheirDataInTheHostsFolder) {
  std::string folder = ::testing::TempDir() + "avm1-shared-objects";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  std::string getLocal = "push \"game/save\" 1 \"SharedObject\"\ngetVariable\npush \"getLocal\"\ncallMethod\nstoreRegister 1\npop\n";
  std::string save = getLocal + "push r:1 \"data\"\ngetMember\npush \"score\" 5\nsetMember\n" +
                     "push 0 r:1 \"flush\"\ncallMethod\ntrace\n" +
                     // names that would leave the folder are refused
                     "push \"../x\" 1 \"SharedObject\"\ngetVariable\npush \"getLocal\"\ncallMethod\ntrace\n";
  std::string read = getLocal + "push r:1 \"data\"\ngetMember\npush \"score\"\ngetMember\ntrace\n";
  for (const auto& [actions, expected] : {std::pair{save, "true\nnull\n"}, std::pair{read, "5\n"}}) {
    Player player;
    player.setSharedObjectFolder(folder);
    std::string out;
    load(player, out, "movie version=8 size=100x100\nactions {\n" + actions + "}\nshow\n");
    EXPECT_EQ(out, expected);
  }
  // Without a folder nothing is kept.
  Player player;
  std::string out;
  load(player, out, "movie version=8 size=100x100\nactions {\n" + save + "}\nshow\n");
  EXPECT_EQ(out, "false\nnull\n");
}

}  // namespace
}  // namespace vorlo::player
