// The text classes through movies written as assembler texts: each movie traces what scripts see
// of text fields, formats, style sheets, the focus and text snapshots.
#include <gtest/gtest.h>

#include <string>

#include "player/player.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

// Plays `frames` frames of `movie` (an assembler text) and gives its trace output.
std::string traceOf(const std::string& movie, int frames = 1) {
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

// A movie with one field "f" (a device font, 12 pt) whose first frame runs `actions`.
std::string withField(const std::string& fieldOptions, const std::string& actions) {
  return "movie version=8 size=200x100\n"
         "edittext 1 bounds=0,0,100px,20px height=240 " + fieldOptions + "\n"
         "place 1 id=1 name=\"f\"\n"
         "actions {\n" + actions + "\n}\nshow\n";
}

struct Case {
  const char* name;
  std::string movie;
  const char* trace;
};

TEST(Avm1Text, ScriptsSeeAndChangeFields) {
  const Case cases[] = {
      {"plain text normalises line breaks to \\r and counts them",
       withField("text=\"ab\"", R"(push "f" ; getVariable ; push "text" ; push "x\r\ny\nz" ; setMember
            push 1 ; push 1 ; push "f" ; getVariable ; push "text" ; getMember ; push "charCodeAt" ; callMethod ; trace
            push 3 ; push 1 ; push "f" ; getVariable ; push "text" ; getMember ; push "charCodeAt" ; callMethod ; trace
            push "f" ; getVariable ; push "length" ; getMember ; trace)"),
       "13\n13\n5\n"},
      {"flags and colours read back as set; maxChars is null without a limit",
       withField("", R"(push "f" ; getVariable ; push "border" ; push 1 ; setMember
            push "f" ; getVariable ; push "border" ; getMember ; trace
            push "f" ; getVariable ; push "backgroundColor" ; push 0xFF00FF ; setMember
            push "f" ; getVariable ; push "backgroundColor" ; getMember ; trace
            push "f" ; getVariable ; push "maxChars" ; getMember ; trace
            push "f" ; getVariable ; push "autoSize" ; push true ; setMember
            push "f" ; getVariable ; push "autoSize" ; getMember ; trace
            push "f" ; getVariable ; push "type" ; getMember ; trace)"),
       "true\n16711935\nnull\nleft\ninput\n"},
      {"a field bound to a variable shows it, and setting the text sets the variable",
       withField("var=\"v\"", R"(push "v" ; push "bound" ; setVariable
            push "f" ; getVariable ; push "text" ; getMember ; trace
            push "f" ; getVariable ; push "text" ; push "back" ; setMember
            push "v" ; getVariable ; trace)"),
       "bound\nback\n"},
      {"htmlText of an HTML field gives every paragraph with its full font",
       withField("html", R"(push "f" ; getVariable ; push "htmlText" ; push "a<b>b</b><br>c" ; setMember
            push "f" ; getVariable ; push "htmlText" ; getMember ; trace
            push "f" ; getVariable ; push "text" ; getMember ; push "length" ; getMember ; trace)"),
       "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
       "KERNING=\"0\">a<B>b</B></FONT></P><P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" "
       "COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">c</FONT></P>\n4\n"},
      {"setTextFormat changes a range; getTextFormat of a mixed range is null there",
       withField("text=\"abcd\"", R"(push 0 ; push "TextFormat" ; newObject ; storeRegister 1 ; pop
            push r:1 ; push "bold" ; push true ; setMember
            push r:1 ; push 2 ; push 1 ; push 3 ; push "f" ; getVariable ; push "setTextFormat" ; callMethod ; pop
            push 0 ; push 1 ; push "f" ; getVariable ; push "getTextFormat" ; callMethod ; push "bold" ; getMember ; trace
            push 1 ; push 1 ; push "f" ; getVariable ; push "getTextFormat" ; callMethod ; push "bold" ; getMember ; trace
            push 0 ; push "f" ; getVariable ; push "getTextFormat" ; callMethod ; push "bold" ; getMember ; trace
            push 0 ; push "f" ; getVariable ; push "getTextFormat" ; callMethod ; push "size" ; getMember ; trace)"),
       "false\ntrue\nnull\n12\n"},
      {"createTextField makes an empty field at its position; hiding it takes the focus away",
       "movie version=8 size=200x100\nactions {\n" R"(push 40 ; push 100 ; push 7 ; push 5 ; push 1 ; push "t" ; push 6
            push "_root" ; getVariable ; push "createTextField" ; callMethod ; storeRegister 1 ; pop
            push r:1 ; push "_x" ; getMember ; trace
            push r:1 ; push "_width" ; getMember ; trace
            push r:1 ; push "text" ; getMember ; push "length" ; getMember ; trace
            push r:1 ; push 1 ; push "Selection" ; getVariable ; push "setFocus" ; callMethod ; trace
            push 0 ; push "Selection" ; getVariable ; push "getFocus" ; callMethod ; trace
            push r:1 ; push "_visible" ; push false ; setMember
            push 0 ; push "Selection" ; getVariable ; push "getFocus" ; callMethod ; trace)" "\n}\nshow\n",
       "5\n100\n0\ntrue\n_level0.t\nnull\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(traceOf(c.movie), c.trace) << c.name;
}

// After a frame's scripts a bound field shows its variable, and a variable that does not exist
// starts with the field's text.
TEST(Avm1Text, BoundFieldsFollowTheirVariablesBetweenFrames) {
  std::string movie =
      "movie version=8 size=200x100\n"
      "edittext 1 bounds=0,0,100px,20px height=240 var=\"v\" text=\"init\"\n"
      "edittext 2 bounds=0,0,100px,20px height=240 var=\"w\"\n"
      "place 1 id=1 name=\"a\"\nplace 2 id=2 name=\"b\"\n"
      "actions {\n push \"w\" ; push \"set\" ; setVariable\n}\nshow\n"
      "actions {\n push \"v\" ; getVariable ; trace\n push \"b\" ; getVariable ; push \"_width\" ; getMember ; trace\n"
      " push \"w\" ; push \"later\" ; setVariable\n}\nshow\n"
      "actions {\n push \"b\" ; getVariable ; push \"length\" ; getMember ; trace\n stop\n}\nshow\n";
  EXPECT_EQ(traceOf(movie, 3), "init\n100\n5\n");
}

TEST(Avm1Text, FormatsRoundAndStyleSheetsTransform) {
  const Case cases[] = {
      {"the constructor truncates, the setters round halves to even and keep margins from going negative",
       "movie version=8\nactions {\n" R"(push -1.5 ; push 2.5 ; push "Arial" ; push 3 ; push "TextFormat" ; newObject ; storeRegister 1 ; pop
            push r:1 ; push "size" ; getMember ; trace
            push r:1 ; push "color" ; getMember ; trace
            push r:1 ; push "size" ; push 2.5 ; setMember ; push r:1 ; push "size" ; getMember ; trace
            push r:1 ; push "leftMargin" ; push -3 ; setMember ; push r:1 ; push "leftMargin" ; getMember ; trace
            push r:1 ; push "color" ; push -1 ; setMember ; push r:1 ; push "color" ; getMember ; trace
            push r:1 ; push "align" ; push "middle" ; setMember ; push r:1 ; push "align" ; getMember ; trace
            push r:1 ; push "align" ; push "CENTER" ; setMember ; push r:1 ; push "align" ; getMember ; trace
            push r:1 ; push "display" ; push "x" ; setMember ; push r:1 ; push "display" ; getMember ; trace)" "\n}\nshow\n",
       "2\n4294967295\n2\n0\n4294967295\nnull\ncenter\nblock\n"},
      {"parseCSS reads rules with several selectors; transform turns a style into a format",
       "movie version=8\nactions {\n" R"(push 0 ; push "TextField" ; getVariable ; push "StyleSheet" ; newMethod ; storeRegister 1 ; pop
            push "p, .x { font-size: 14px; color: #FF0000; text-align: Center; font-family: ' Arial' }" ; push 1
            push r:1 ; push "parseCSS" ; callMethod ; trace
            push ".x" ; push 1 ; push r:1 ; push "getStyle" ; callMethod ; push "fontSize" ; getMember ; trace
            push "p" ; push 1 ; push r:1 ; push "getStyle" ; callMethod ; push 1 ; push r:1 ; push "transform" ; callMethod ; storeRegister 2 ; pop
            push r:2 ; push "size" ; getMember ; trace
            push r:2 ; push "color" ; getMember ; trace
            push r:2 ; push "align" ; getMember ; trace
            push r:2 ; push "bold" ; getMember ; trace
            push "a {" ; push 1 ; push r:1 ; push "parseCSS" ; callMethod ; trace)" "\n}\nshow\n",
       "true\n14px\n14\n16711680\ncenter\nnull\nfalse\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(traceOf(c.movie), c.trace) << c.name;
}

}  // namespace
}  // namespace vorlo::player
