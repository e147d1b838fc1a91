// Built-in behaviour through movies written as assembler texts: String methods and conversions by
// SWF version, flash.filters objects and the filters of clips, and the objects of a call (closures
// and a returned `arguments` stay alive across collections, which run between frames), geometry
// objects, LocalConnection within one player, and the Sound object.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "player/player.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

// Plays `frames` frames of a movie of `version` whose first frame runs `actions` and whose last
// frame runs `later` (when there are several), and gives its trace output.
std::string run(int version, const std::string& actions, int frames = 1, const std::string& later = "") {
  std::string movie = "movie version=" + std::to_string(version) + " size=100x100\nactions {\n" + actions + "\n}\nshow\n";
  for (int i = 1; i < frames; ++i) movie += i + 1 == frames ? "actions {\n" + later + "\n}\nshow\n" : "show\n";
  std::vector<uint8_t> swf;
  std::string error;
  if (!swfasm::assembleSwf(movie, swf, error)) return "assembler: " + error;
  Player player;
  std::string out;
  player.setTraceHandler([&](const std::string& text) { out += text + "\n"; });
  if (!player.load(swf, &error)) return "load: " + error;
  for (int i = 1; i < frames; ++i) player.advance();
  return out;
}

// `text`.method(args...) traced; args are pushed as written (last argument first).
std::string call(const std::string& text, const std::string& method, const std::string& pushedArgs, int count) {
  return "push " + pushedArgs + " " + std::to_string(count) + " \"" + text + "\" \"" + method +
         "\"\ncallMethod\ntrace";
}

TEST(Avm1Builtins, StringMethodsCountPositionsAsTheReferencePlayer) {
  struct Case {
    int version;
    std::string actions;
    const char* trace;
  } cases[] = {
      {8, call("hello world", "substr", "-4 3", 2), "lo worl\n"},   // substr(3, -4): the end counts from the end
      {8, call("hello world", "substr", "-3 3", 2), "\n"},          // and may fall on the start
      {8, call("abcd", "substr", "-3 -3", 2), "b\n"},
      {8, call("abcd", "slice", "-1 1", 2), "bc\n"},
      {8, call("abcd", "substring", "1 3", 2), "bc\n"},             // swapped ends
      {8, call("abcd", "substr", "", 0), "undefined\n"},            // no argument, no answer
      {5, call("abc", "charCodeAt", "9", 1), "0\n"},                // SWF 5 answers 0 past the end
      {8, call("abc", "charCodeAt", "9", 1), "NaN\n"},
      {5, "push 0 \"a,b\" \"split\"\ncallMethod\npush \"length\"\ngetMember\ntrace", "2\n"},  // SWF 5 splits at commas
      {8, "push 0 \"a,b\" \"split\"\ncallMethod\npush \"length\"\ngetMember\ntrace", "1\n"},
      {8, call("a,b", "lastIndexOf", "-1 \"b\"", 2), "-1\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.version, c.actions), c.trace) << c.actions;
}

TEST(Avm1Builtins, ConversionsByVersion) {
  struct Case {
    int version;
    std::string actions;
    const char* trace;
  } cases[] = {
      // A radix is guessed from the raw text: "0x-10" is -16, a signed "-0x10" is NaN.
      {6, "push \"0x-10\"\ntoNumber\ntrace\npush \"-0x10\"\ntoNumber\ntrace", "-16\nNaN\n"},
      {5, "push \"0x10\"\ntoNumber\ntrace", "NaN\n"},
      {8, "push \" 0x10\"\ntoNumber\ntrace\npush \"12e\"\ntoNumber\ntrace", "NaN\n12\n"},
      // isNaN() and isFinite() without an argument, Boolean() bare.
      {6, "push 0 \"isNaN\"\ncallFunction\ntrace\npush 0 \"isFinite\"\ncallFunction\ntrace\n"
          "push 0 \"Boolean\"\ncallFunction\ntrace",
       "true\nfalse\nundefined\n"},
      // {} < 1 is false before the right side is asked; {valueOf: 2} < 1 compares numbers.
      {6, "push 0\ninitObject\npush 1\nless2\ntrace", "false\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.version, c.actions), c.trace) << c.actions;
}

// new flash.filters.NAME(args) into register 1.
std::string newFilter(const std::string& name, const std::string& pushedArgs, int count) {
  return "push " + pushedArgs + (pushedArgs.empty() ? "" : " ") + std::to_string(count) +
         " \"flash\"\ngetVariable\npush \"filters\"\ngetMember\npush \"" + name +
         "\"\nnewMethod\nstoreRegister 1\npop\n";
}
std::string traceMember(const std::string& name) { return "push r:1 \"" + name + "\"\ngetMember\ntrace\n"; }

TEST(Avm1Builtins, FilterObjectsKeepTheirFieldsAsTheReferencePlayer) {
  // Defaults, ranges and conversions of the constructor's arguments.
  EXPECT_EQ(run(8, newFilter("BlurFilter", "", 0) + traceMember("blurX") + traceMember("quality")), "4\n1\n");
  EXPECT_EQ(run(8, newFilter("BlurFilter", "99 300 -5", 3) + traceMember("blurX") + traceMember("blurY") +
                       traceMember("quality")),
            "0\n255\n15\n");  // blurX -5, blurY 300, quality 99
  EXPECT_EQ(run(8, newFilter("GlowFilter", "", 0) + traceMember("color") + traceMember("strength")), "16711680\n2\n");
  EXPECT_EQ(run(8, newFilter("BevelFilter", "false \"full\" 1 1 4 4 1 0 1 -1 2 1", 12) + traceMember("type") +
                       traceMember("highlightColor")),
            "full\n16777215\n");  // colours keep 24 bits (-1 is white)
  // A convolution given a colour but no alpha is opaque; without a colour it is clear.
  EXPECT_EQ(run(8, newFilter("ConvolutionFilter", "128 true true 0 9 1 1 1 1 4 2 2 8", 8)), "");
  EXPECT_EQ(run(8, "push 128 true true 0 9 1 1 1 1 4\ninitArray\npush 2 2 8 \"flash\"\ngetVariable\n"
                   "push \"filters\"\ngetMember\npush \"ConvolutionFilter\"\nnewMethod\nstoreRegister 1\npop\n" +
                       traceMember("alpha") + traceMember("matrix")),
            "1\n1,1,1,1\n");
  // The matrix read out is a copy; clone copies the fields.
  EXPECT_EQ(run(8, newFilter("ColorMatrixFilter", "", 0) +
                       "push r:1 \"matrix\"\ngetMember\npush 0 9\nsetMember\n" + traceMember("matrix") +
                       "push 0 r:1 \"clone\"\ncallMethod\npush \"alpha\"\ngetMember\ntrace\n"
                       "push 0 r:1 \"clone\"\ncallMethod\npush \"blurX\"\ngetMember\ntrace"),
            "1,0,0,0,0,0,1,0,0,0,0,0,1,0,0,0,0,0,1,0\nundefined\nundefined\n");
}

TEST(Avm1Builtins, ClipFiltersAreCopiedBothWays) {
  std::string clip = "push 1 \"c\" 2 \"createEmptyMovieClip\"\ncallFunction\nstoreRegister 2\npop\n";
  std::string setFilters = newFilter("BlurFilter", "2 7 5", 3) +
                           "push r:2 \"filters\" r:1 1\ninitArray\nsetMember\n"
                           "push r:1 \"blurX\" 50\nsetMember\n";  // changing the object afterwards changes nothing
  std::string readBack = "push r:2 \"filters\"\ngetMember\npush 0\ngetMember\nstoreRegister 3\npop\n"
                         "push r:3 \"blurX\"\ngetMember\ntrace\npush r:3 \"quality\"\ngetMember\ntrace\n"
                         "push r:3 \"flash\"\ngetVariable\npush \"filters\"\ngetMember\npush \"BlurFilter\"\n"
                         "getMember\ninstanceOf\ntrace\n";
  EXPECT_EQ(run(8, clip + setFilters + readBack), "5\n2\ntrue\n");
  // Before SWF 8 clips have no filters property.
  EXPECT_EQ(run(7, clip + "push r:2 \"filters\"\ngetMember\ntrace"), "undefined\n");
}

TEST(Avm1Builtins, CallObjectsThatScriptsKeepOutliveTheCall) {
  // A closure made in a call keeps the call's locals; `arguments` returned from a call stays
  // whole after the collection between frames.
  std::string actions =
      "function \"counter\" {\n  push \"n\" 0\n  defineLocal\n  function \"\" {\n    push \"n\" \"n\"\n"
      "    getVariable\n    increment\n    setVariable\n    push \"n\"\n    getVariable\n    return\n  }\n"
      "  return\n}\n"
      "function \"args\" a b {\n  push \"arguments\"\n  getVariable\n  return\n}\n"
      "push \"inc\" 0 \"counter\"\ncallFunction\nsetVariable\n"
      "push \"kept\" \"y\" \"x\" 2 \"args\"\ncallFunction\nsetVariable\n"
      "push 0 \"inc\"\ncallFunction\ntrace";
  std::string later = "push 0 \"inc\"\ncallFunction\ntrace\npush \"kept\"\ngetVariable\ntrace\n"
                      "push \"kept\"\ngetVariable\npush \"callee\"\ngetMember\npush \"args\"\ngetVariable\n"
                      "strictEquals\ntrace";
  EXPECT_EQ(run(8, actions, 3, later), "1\n2\nx,y\ntrue\n");
}

TEST(Avm1Builtins, ArgumentsMadeOnFirstUseReachClosuresAfterTheCall) {
  // `arguments` is made when a function names it. An inner function that suppresses its own finds
  // the outer call's through the scope, also after the outer call returned and a collection ran.
  std::string actions =
      "function \"outer\" a b {\n  function2 \"\" flags=suppressArguments {\n    push \"arguments\"\n"
      "    getVariable\n    push \"length\"\n    getMember\n    return\n  }\n  return\n}\n"
      "push \"k\" 5 4 2 \"outer\"\ncallFunction\nsetVariable\npush 0 \"k\"\ncallFunction\ntrace\n"
      "function \"own\" arguments {\n  push \"arguments\"\n  getVariable\n  return\n}\n"
      "push \"p\" 1 \"own\"\ncallFunction\ntrace";
  std::string later = "push 0 \"k\"\ncallFunction\ntrace";
  // A parameter named `arguments` is replaced by the arguments array, as before.
  EXPECT_EQ(run(8, actions, 2, later), "2\np\n2\n");
}

// new flash.PACKAGE.NAME(args) into register `reg`.
std::string newIn(const std::string& package, const std::string& name, const std::string& pushedArgs, int count,
                  int reg) {
  return "push " + pushedArgs + (pushedArgs.empty() ? "" : " ") + std::to_string(count) + " \"flash\"\ngetVariable\npush \"" +
         package + "\"\ngetMember\npush \"" + name + "\"\nnewMethod\nstoreRegister " + std::to_string(reg) + "\npop\n";
}
// r:reg.method(args), left on the stack.
std::string callOn(int reg, const std::string& method, const std::string& pushedArgs = "", int count = 0) {
  return "push " + pushedArgs + (pushedArgs.empty() ? "" : " ") + std::to_string(count) + " r:" + std::to_string(reg) +
         " \"" + method + "\"\ncallMethod\n";
}

TEST(Avm1Builtins, GeomObjectsComputeAsTheReferencePlayer) {
  struct Case {
    std::string actions;
    const char* trace;
  } cases[] = {
      {newIn("geom", "Point", "4 3", 2, 1) + "push r:1 \"length\"\ngetMember\ntrace\n" + callOn(1, "toString") + "trace",
       "5\n(x=3, y=4)\n"},
      {newIn("geom", "Point", "", 0, 1) + callOn(1, "toString") + "trace", "(x=0, y=0)\n"},
      // Overlap of two rectangles; the far edges move only the size.
      {newIn("geom", "Rectangle", "10 10 0 0", 4, 1) + newIn("geom", "Rectangle", "10 10 5 5", 4, 2) +
           "push 0 r:2 1 r:1 \"intersection\"\ncallMethod\npush \"toString\"\ncallMethod\ntrace\n" +
           "push r:1 \"right\" 4\nsetMember\n" + callOn(1, "toString") + "trace\n" + callOn(1, "isEmpty") + "trace",
       "(x=5, y=5, w=5, h=5)\n(x=0, y=0, w=4, h=10)\nfalse\n"},
      // translate then scale scales the translation too; the inverse undoes both.
      {newIn("geom", "Matrix", "", 0, 1) + callOn(1, "translate", "5 5", 2) + "pop\n" + callOn(1, "scale", "3 2", 2) +
           "pop\n" + callOn(1, "toString") + "trace\n" + callOn(1, "invert") + "pop\n" + callOn(1, "toString") + "trace",
       "(a=2, b=0, c=0, d=3, tx=10, ty=15)\n(a=0.5, b=0, c=0, d=0.333333333333333, tx=-5, ty=-5)\n"},
      {newIn("geom", "ColorTransform", "", 0, 1) + "push r:1 \"rgb\" 16711935\nsetMember\n" + callOn(1, "toString") +
           "trace",
       "(redMultiplier=0, greenMultiplier=0, blueMultiplier=0, alphaMultiplier=1, redOffset=255, greenOffset=0, "
       "blueOffset=255, alphaOffset=0)\n"},
      // ASnative's numbered tables name the built-ins; unknown entries are undefined.
      {"push 0 200 2 \"ASnative\"\ncallFunction\npush \"Math\"\ngetVariable\npush \"abs\"\ngetMember\nstrictEquals\n"
       "trace\npush 0 999 2 \"ASnative\"\ncallFunction\ntypeOf\ntrace",
       "true\nundefined\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(8, c.actions), c.trace) << c.actions;
}

TEST(Avm1Builtins, BitmapDataKeepsPixelsAsTheReferencePlayer) {
  struct Case {
    std::string actions;
    const char* trace;
  } cases[] = {
      // Stored premultiplied, read back straight; an opaque bitmap drops the alpha it is given.
      {newIn("display", "BitmapData", "2 2", 2, 1) + callOn(1, "setPixel32", "2164195328 0 0", 3) + "pop\n" +
           callOn(1, "getPixel32", "0 0", 2) + "trace\n" + callOn(1, "getPixel", "0 0", 2) + "trace",
       "-2130771968\n16711680\n"},
      {newIn("display", "BitmapData", "1193046 false 2 2", 4, 1) + callOn(1, "getPixel32", "0 0", 2) + "trace",
       "-15584170\n"},
      // Sizes beyond the player's bound, and disposed bitmaps, answer -1.
      {newIn("display", "BitmapData", "1 3000", 2, 1) + "push r:1 \"width\"\ngetMember\ntrace\n" +
           newIn("display", "BitmapData", "1 1", 2, 2) + callOn(2, "dispose") + "pop\npush r:2 \"height\"\ngetMember\ntrace",
       "-1\n-1\n"},
      // A fill is clipped to the bitmap; pixels outside read 0.
      {newIn("display", "BitmapData", "0 false 2 2", 4, 1) + newIn("geom", "Rectangle", "6 6 -5 -5", 4, 2) +
           "push 4278255360 r:2 2 r:1 \"fillRect\"\ncallMethod\npop\n" + callOn(1, "getPixel", "0 0", 2) + "trace\n" +
           callOn(1, "getPixel", "1 1", 2) + "trace\n" + callOn(1, "getPixel", "5 0", 2) + "trace",
       "65280\n0\n0\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(8, c.actions), c.trace) << c.actions;
}

TEST(Avm1Builtins, ClipTransformIsALiveViewOfTheClip) {
  std::string clip = "push 1 \"c\" 2 \"createEmptyMovieClip\"\ncallFunction\nstoreRegister 2\npop\n";
  // transform.matrix = new Matrix(2, 0, 0, 3, 10, 5): scale and position follow, in pixels.
  std::string setMatrix = newIn("geom", "Matrix", "5 10 3 0 0 2", 6, 1) +
                          "push r:2 \"transform\"\ngetMember\npush \"matrix\" r:1\nsetMember\n";
  std::string read = "push r:2 \"_xscale\"\ngetMember\ntrace\npush r:2 \"_yscale\"\ngetMember\ntrace\n"
                     "push r:2 \"_x\"\ngetMember\ntrace\n"
                     "push r:2 \"transform\"\ngetMember\npush \"matrix\"\ngetMember\npush \"toString\"\ncallMethod\ntrace\n";
  EXPECT_EQ(run(8, clip + setMatrix + read), "200\n300\n10\n(a=2, b=0, c=0, d=3, tx=10, ty=5)\n");
  // The colour transform comes back as a ColorTransform.
  EXPECT_EQ(run(8, clip + newIn("geom", "ColorTransform", "0 0 0 0 0.5 1 1 1", 8, 1) +
                       "push r:2 \"transform\"\ngetMember\npush \"colorTransform\" r:1\nsetMember\n"
                       "push r:2 \"transform\"\ngetMember\npush \"colorTransform\"\ngetMember\n"
                       "push \"alphaMultiplier\"\ngetMember\ntrace"),
            "0.5\n");
  EXPECT_EQ(run(7, clip + "push r:2 \"transform\"\ngetMember\ntrace"), "undefined\n");
}

TEST(Avm1Builtins, LocalConnectionDeliversCopiesOnALaterFrame) {
  // A receiver connects to "chan" (names compare without case, one receiver each); the sender's
  // calls arrive on the next frame with copies of their arguments, and onStatus tells whether a
  // receiver took them.
  std::string tx = "push \"tx\"\ngetVariable\n";
  std::string actions =
      "push \"rx\" 0 \"LocalConnection\"\nnewObject\nsetVariable\n"
      "push \"rx\"\ngetVariable\npush \"greet\"\n"
      "function \"\" a b {\n  push \"greet \" \"a\"\n  getVariable\n  add2\n  push \" \"\n  add2\n"
      "  push \"b\"\n  getVariable\n  push \"k\"\n  getMember\n  add2\n  trace\n"
      "  push \"b\"\n  getVariable\n  push \"k\" \"changed\"\n  setMember\n}\nsetMember\n"
      "push \"chan\" 1 \"rx\"\ngetVariable\npush \"connect\"\ncallMethod\ntrace\n"
      "push \"tx\" 0 \"LocalConnection\"\nnewObject\nsetVariable\n"
      "push \"CHAN\" 1\n" + tx + "push \"connect\"\ncallMethod\ntrace\n"
      "push \"other\" 1 \"rx\"\ngetVariable\npush \"connect\"\ncallMethod\ntrace\n" + tx +
      "push \"onStatus\"\nfunction \"\" info {\n  push \"status \" \"info\"\n  getVariable\n  push \"level\"\n"
      "  getMember\n  add2\n  trace\n}\nsetMember\n"
      "push \"obj\" \"k\" \"v\" 1\ninitObject\nsetVariable\n"
      "push \"obj\"\ngetVariable\npush 1 \"greet\" \"chan\" 4\n" + tx + "push \"send\"\ncallMethod\ntrace\n"
      "push \"connect\" \"chan\" 2\n" + tx + "push \"send\"\ncallMethod\ntrace\n"
      "push \"greet\" \"a:b\" 2\n" + tx + "push \"send\"\ncallMethod\ntrace\n"
      "push \"greet\" \"nobody\" 2\n" + tx + "push \"send\"\ncallMethod\ntrace\n"
      "push 0\n" + tx + "push \"domain\"\ncallMethod\ntrace\npush \"sent\"\ntrace";
  std::string later = "push \"obj\"\ngetVariable\npush \"k\"\ngetMember\ntrace\n"
                      "push 0 \"rx\"\ngetVariable\npush \"close\"\ncallMethod\npop\n"
                      "push 2 \"greet\" \"Chan\" 3\n" + tx + "push \"send\"\ncallMethod\ntrace";
  EXPECT_EQ(run(8, actions, 3, later),
            "true\nfalse\nfalse\ntrue\nfalse\nfalse\ntrue\nlocalhost\nsent\n"  // frame 1
            "greet 1 v\nstatus status\nstatus error\n"                         // delivered
            "v\ntrue\nstatus error\n");                                         // closed
}

// The root mean square of the next `frames` frames the player mixes, in thousands.
long mixedLevel(Player& player, size_t frames) {
  std::vector<int16_t> out(frames * 2);
  player.mixAudio(out.data(), frames);
  double sum = 0;
  for (int16_t v : out) sum += double(v) * v;
  return std::lround(std::sqrt(sum / double(out.size())) / 1000);
}

TEST(Avm1Builtins, SoundObjectPlaysLibrarySoundsThroughTheMixer) {
  // A tenth of a second of 440 Hz exported as "beep": the Sound object attaches and starts it,
  // stop() stops every sound, the movie's level halves it, stopAllSounds ends it.
  std::string s = "push \"s\"\ngetVariable\n";
  std::string movie =
      "movie version=8 size=100x100 rate=10\nsound 1 rate=3 samples=4410 tone=440\nexport 1 \"beep\"\n"
      "actions {\npush \"s\" 0 \"Sound\"\nnewObject\nsetVariable\n"
      "push \"beep\" 1\n" + s + "push \"attachSound\"\ncallMethod\npop\n" + s + "push \"duration\"\ngetMember\ntrace\n"
      "push \"missing\" 1\n" + s + "push \"attachSound\"\ncallMethod\npop\n"
      "push 0\n" + s + "push \"start\"\ncallMethod\npop\npush 0\n" + s + "push \"getVolume\"\ncallMethod\ntrace\n}\nshow\n"
      "actions {\npush 0\n" + s + "push \"stop\"\ncallMethod\npop\n}\nshow\n"
      "actions {\npush 50 1\n" + s + "push \"setVolume\"\ncallMethod\npop\npush 0\n" + s +
      "push \"start\"\ncallMethod\npop\npush 0\n" + s + "push \"getVolume\"\ncallMethod\ntrace\n}\nshow\n"
      "actions {\nstopSounds\n}\nshow\n";
  std::vector<uint8_t> swf;
  std::string error;
  ASSERT_TRUE(swfasm::assembleSwf(movie, swf, error)) << error;
  Player player;
  std::string out;
  player.setTraceHandler([&](const std::string& text) { out += text + "\n"; });
  ASSERT_TRUE(player.load(swf, &error)) << error;
  EXPECT_EQ(out, "100\n100\n");
  EXPECT_EQ(player.activeSounds(), 1u);
  EXPECT_EQ(mixedLevel(player, 441), 9);  // thousands, rounded: the tone at full level
  player.advance();
  EXPECT_EQ(player.activeSounds(), 0u);
  player.advance();
  EXPECT_EQ(out, "100\n100\n50\n");
  EXPECT_EQ(player.activeSounds(), 1u);
  EXPECT_EQ(mixedLevel(player, 441), 4);  // and at half
  player.advance();
  EXPECT_EQ(player.activeSounds(), 0u);
  EXPECT_TRUE(player.warnings().empty());
}

}  // namespace
}  // namespace vorlo::player
