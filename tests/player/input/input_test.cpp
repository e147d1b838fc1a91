// The pointer and the keyboard driven through the player's input calls on movies written as
// assembler texts; what scripts and buttons do is read from the trace output.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "player/display/characters.h"
#include "player/display/edit_text.h"
#include "player/player.h"
#include "tools/swf/assembler.h"

namespace vorlo::player {
namespace {

// A movie of 200 x 200 pixels shown in a view of the same size.
struct Stage {
  Player player;
  std::string out;
  explicit Stage(const std::string& body, int version = 8) {
    std::string text = "movie version=" + std::to_string(version) + " size=200x200 rate=12\n" + body;
    std::vector<uint8_t> swf;
    std::string error;
    EXPECT_TRUE(swfasm::assembleSwf(text, swf, error)) << error;
    player.setTraceHandler([this](const std::string& t) { out += t + ";"; });
    EXPECT_TRUE(player.load(swf, &error)) << error;
    player.setViewport(200, 200, ScaleMode::ShowAll);
  }
  std::string take() { return std::exchange(out, ""); }
};

// An action block that traces `text`.
std::string traceOf(const std::string& text) { return "push \"" + text + "\"\ntrace\n"; }

// A ring: a square of 60 px with a hole of 20 px in its middle (even-odd).
const char* kRing = R"(shape 1 {
  fill solid #ff0000
  rect 0 0 60px 60px fill0=1
  rect 20px 20px 20px 20px fill0=1
}
shape 3 {
  fill solid #0000ff
  rect 0 0 60px 60px fill0=1
}
)";

TEST(PlayerInput, ButtonTransitionsFollowThePointerAndItsHitArea) {
  std::string movie = std::string(kRing) + "button 2 version=2 {\n  record id=1 states=up,over,hit\n  record id=3 states=down\n";
  const char* events[] = {"rollOver", "rollOut", "press", "release", "releaseOutside", "dragOut", "dragOver"};
  for (const char* e : events) movie += "  actions on=" + std::string(e) + " {\n" + traceOf(e) + "  }\n";
  movie += "}\nplace 1 id=2 at=50px,50px name=\"b\"\nshow\n";
  Stage s(movie);
  auto* button = dynamic_cast<ButtonObject*>(s.player.root().children()->at(1).get());
  ASSERT_NE(button, nullptr);

  struct Step {
    char what;  // m move, d down, u up
    double x, y;
    const char* trace;
    uint8_t state;
  } steps[] = {
      {'m', 10, 10, "", kButtonUp},           // outside
      {'m', 80, 80, "", kButtonUp},           // in the ring's hole
      {'m', 55, 55, "rollOver;", kButtonOver},
      {'m', 58, 52, "", kButtonOver},         // still over: nothing new
      {'d', 58, 52, "press;", kButtonDown},
      {'m', 150, 150, "dragOut;", kButtonOver},
      {'m', 105, 105, "dragOver;", kButtonDown},
      {'u', 105, 105, "release;", kButtonOver},
      {'m', 80, 80, "rollOut;", kButtonUp},   // into the hole
      {'m', 55, 100, "rollOver;", kButtonOver},
      {'d', 55, 100, "press;", kButtonDown},
      {'m', 5, 5, "dragOut;", kButtonOver},
      {'u', 5, 5, "releaseOutside;", kButtonUp},
  };
  for (const Step& st : steps) {
    bool changed = st.what == 'm' ? s.player.mouseMove(st.x, st.y)
                   : st.what == 'd' ? s.player.mouseDown(st.x, st.y)
                                    : s.player.mouseUp(st.x, st.y);
    std::string at = std::string(1, st.what) + " " + std::to_string(st.x) + "," + std::to_string(st.y);
    EXPECT_EQ(s.take(), st.trace) << at;
    EXPECT_EQ(button->state(), st.state) << at;
    EXPECT_EQ(changed, *st.trace != 0) << at;
  }
  // The pointer looks like a hand over the button only.
  s.player.mouseMove(55, 55);
  EXPECT_EQ(s.player.cursor(), Player::Cursor::Hand);
  s.player.mouseMove(5, 5);
  EXPECT_EQ(s.player.cursor(), Player::Cursor::Arrow);
}

// The frame script of a movie with a clip "c" (a blue square of 60 px at 50,50, frames labelled
// "_up", "_over" and "_down") and `script` run on the main timeline.
std::string clipMovie(const std::string& script) {
  return std::string(kRing) +
         "sprite 4 {\n place 1 id=3\n label \"_up\"\n actions {\n stop\n }\n show\n label \"_over\"\n show\n"
         " label \"_down\"\n show\n}\n"
         "place 1 id=4 at=50px,50px name=\"c\"\nactions {\n" +
         script + "}\nshow\n";
}

// c.<event> = function () { trace("<event> " + <expr>); }
std::string handler(const std::string& object, const std::string& event, const std::string& traced) {
  return "push \"" + object + "\"\ngetVariable\npush \"" + event + "\"\nfunction \"\" {\n" + traced + "}\nsetMember\n";
}

TEST(PlayerInput, ClipsWithHandlersActAsButtonsAndEveryClipHearsThePointer) {
  std::string xmouse = "push \"x \"\npush \"c\" 20\ngetProperty\nadd2\ntrace\n";  // trace("x " + c._xmouse)
  std::string script = handler("c", "onPress", traceOf("press")) + handler("c", "onRelease", xmouse) +
                       handler("c", "onMouseDown", traceOf("down")) +
                       // Mouse.addListener(listener) where listener.onMouseUp traces
                       "push \"l\"\npush 0\npush \"Object\"\nnewObject\nsetVariable\n" +
                       handler("l", "onMouseUp", traceOf("up")) +
                       "push \"l\"\ngetVariable\npush 1\npush \"Mouse\"\ngetVariable\npush \"addListener\"\ncallMethod\npop\n";
  Stage s(clipMovie(script));
  auto* clip = dynamic_cast<MovieClip*>(s.player.root().children()->at(1).get());
  ASSERT_NE(clip, nullptr);
  s.player.mouseMove(70, 60);
  EXPECT_EQ(clip->currentFrame(), 2) << "the clip shows its _over frame";
  s.player.mouseDown(70, 60);
  EXPECT_EQ(s.take(), "down;press;");
  EXPECT_EQ(clip->currentFrame(), 3);
  s.player.mouseUp(70, 60);
  EXPECT_EQ(s.take(), "up;x 20;");  // 70 - 50: the pointer in the clip's space
  // A press outside reaches the clip's onMouseDown and the listener only.
  s.player.mouseDown(190, 190);
  s.player.mouseUp(190, 190);
  EXPECT_EQ(s.take(), "down;up;");
  EXPECT_EQ(clip->currentFrame(), 1);
  // A disabled clip is no button.
  Stage d(clipMovie(script + "push \"c\"\ngetVariable\npush \"enabled\" false\nsetMember\n"));
  d.player.mouseDown(70, 60);
  d.player.mouseUp(70, 60);
  EXPECT_EQ(d.take(), "down;up;");
}

TEST(PlayerInput, KeysReachListenersButtonsAndTheFocusedField) {
  // Key.addListener(k); k.onKeyDown traces the code and whether the key is down; k.onKeyUp traces
  // the bound variable of the field. A button answers the key "a".
  std::string script = "push \"k\"\npush 0\npush \"Object\"\nnewObject\nsetVariable\n" +
                       handler("k", "onKeyDown",
                               "push 0\npush \"Key\"\ngetVariable\npush \"getCode\"\ncallMethod\ntrace\n") +
                       handler("k", "onKeyUp", "push \"v\"\ngetVariable\ntrace\n") +
                       "push \"k\"\ngetVariable\npush 1\npush \"Key\"\ngetVariable\npush \"addListener\"\ncallMethod\npop\n";
  std::string movie = std::string(kRing) + "button 2 version=2 {\n  record id=3 states=up,hit\n  actions on=key:97 {\n" +
                      traceOf("key a") + "  }\n}\nplace 1 id=2 at=150px,150px\n" +
                      "edittext 5 bounds=0,0,2000,400 height=240 var=\"v\" maxlength=4\n"
                      "place 2 id=5 at=10px,10px name=\"t\"\n"
                      "actions {\n" + script + "}\nshow\n";
  Stage s(movie);
  // Typing without focus changes nothing.
  s.player.keyDown(65, u'a');
  EXPECT_EQ(s.take(), "65;key a;");
  s.player.keyUp(65);
  EXPECT_EQ(s.take(), ";");
  // Click into the field, type "abcde" (four fit), delete one, move left and insert.
  s.player.mouseDown(20, 15);
  s.player.mouseUp(20, 15);
  EXPECT_EQ(s.player.cursor(), Player::Cursor::IBeam);
  for (char16_t c : std::u16string(u"abcde")) s.player.keyDown(int(c) - 32, c);
  s.player.keyDown(8, 0);
  s.player.keyDown(37, 0);
  s.player.keyDown(88, u'X');
  s.take();
  s.player.keyUp(88);
  EXPECT_EQ(s.take(), "abXc;");
  auto* field = dynamic_cast<EditTextObject*>(s.player.root().children()->at(2).get());
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(), u"abXc");
  // A click elsewhere takes the focus away: keys no longer type.
  s.player.mouseDown(190, 5);
  s.player.keyDown(89, u'y');
  EXPECT_EQ(field->text(), u"abXc");
}

TEST(PlayerInput, DragFollowsThePointerInsideItsBoundsAndHitTestUsesShapes) {
  // c.startDrag(true, 0, 0, 100, 100) (arguments are pushed last first); r.hitTest(x, y, flag)
  // of the ring at 50,50 for a point in its hole, one on it, and the hole by the bounds alone.
  std::string script = "push 100 100 0 0 true 5\npush \"c\"\ngetVariable\npush \"startDrag\"\ncallMethod\npop\n";
  std::string hits;
  for (const char* point : {"true 80 80", "true 55 55", "false 80 80"})
    hits += std::string("push ") + point + " 3\npush \"r\"\ngetVariable\npush \"hitTest\"\ncallMethod\ntrace\n";
  std::string movie = std::string(kRing) +
                      "sprite 6 {\n place 1 id=1\n show\n}\n"
                      "sprite 4 {\n place 1 id=3\n show\n}\n"
                      "place 1 id=4 at=50px,50px name=\"c\"\nplace 2 id=6 at=50px,50px name=\"r\"\n"
                      "actions {\n" + script + hits + "}\nshow\n";
  Stage s(movie);
  EXPECT_EQ(s.take(), "false;true;true;");
  auto* clip = s.player.root().children()->at(1).get();
  s.player.mouseMove(90, 70);
  EXPECT_DOUBLE_EQ(clip->matrix.tx, 90 * 20.0);
  EXPECT_DOUBLE_EQ(clip->matrix.ty, 70 * 20.0);
  s.player.mouseMove(400, -50);  // the bounds hold it
  EXPECT_DOUBLE_EQ(clip->matrix.tx, 100 * 20.0);
  EXPECT_DOUBLE_EQ(clip->matrix.ty, 0.0);
}

// Zooming, panning and aligning the view move where the pointer lands and what is drawn: the
// ring button (60 px at 50,50 with a hole from 70 to 90) under views of the 200 px stage.
TEST(PlayerInput, TheViewsZoomPanAndAlignmentMapThePointerAndTheDrawing) {
  Stage s(std::string(kRing) + "button 2 version=2 {\n  record id=1 states=up,over,down,hit\n}\n"
          "place 1 id=2 at=50px,50px\nshow\n");
  const Rect frame = s.player.frameRect();
  const Rect half = zoomedView(frame, frame, 50);  // 50..150 px, twice as big
  EXPECT_EQ(half.xMin, 1000);
  EXPECT_EQ(half.xMax, 3000);
  struct Case {
    const char* name;
    Rect shown;
    int width;
    uint8_t align;
    double x, y;
    bool over;
  } cases[] = {
      {"whole stage, outside", Rect{}, 200, 0, 10, 10, false},
      {"zoomed: 10,10 is 55,55 of the movie", half, 200, 0, 10, 10, true},
      {"zoomed: 60,60 is the hole", half, 200, 0, 60, 60, false},
      {"panned 20 px: 10,10 is the hole", pannedView(half, frame, 400, 400), 200, 0, 10, 10, false},
      {"panned 20 px: 50,50 is 95,95", pannedView(half, frame, 400, 400), 200, 0, 50, 50, true},
      {"panned far: kept over the stage", pannedView(half, frame, -1e9, -1e9), 200, 0, 110, 110, true},
      {"wide view, centred", Rect{}, 400, 0, 160, 60, true},
      {"wide view, left", Rect{}, 400, AlignLeft, 60, 60, true},
      {"wide view, right", Rect{}, 400, AlignRight, 60, 60, false},
      {"wide view, right", Rect{}, 400, AlignRight, 260, 60, true},
      {"zoom 0 shows the whole stage", zoomedView(half, frame, 0), 200, 0, 10, 10, false},
  };
  for (const Case& c : cases) {
    s.player.setView(c.shown, c.align);
    s.player.setViewport(c.width, 200, ScaleMode::ShowAll);
    s.player.mouseMove(c.x, c.y);
    EXPECT_EQ(s.player.cursor() == Player::Cursor::Hand, c.over) << c.name;
    s.player.mouseLeave();
  }
  // The drawing follows the same view: the ring's corner fills the zoomed stage's corner.
  Surface zoomed(200, 200), whole(200, 200);
  s.player.setView(half, 0);
  s.player.render(zoomed, ScaleMode::ShowAll, Quality::Low);
  s.player.setView(Rect{}, 0);
  s.player.render(whole, ScaleMode::ShowAll, Quality::Low);
  EXPECT_EQ(zoomed.row(5)[5] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(whole.row(5)[5] & 0xFFFFFF, 0xFFFFFFu);
  EXPECT_EQ(alignFromText("tr"), AlignTop | AlignRight);
  EXPECT_EQ(alignFromText("BL"), AlignBottom | AlignLeft);
}

}  // namespace
}  // namespace vorlo::player
