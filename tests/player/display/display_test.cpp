// The display list and timelines, driven by movies built in memory: what each frame shows, what a
// rewind keeps, and the structures a hostile movie uses to recurse.
#include <gtest/gtest.h>

#include "player/display/characters.h"
#include "player/display/edit_text.h"
#include "player/display/movie_clip.h"

namespace vorlo::player {
namespace {

Shape square() {
  Shape s;
  s.bounds = s.edgeBounds = Rect{0, 0, 200, 200};
  return s;
}

PlaceObject placeNew(uint16_t depth, uint16_t id, double x = 0) {
  PlaceObject p;
  p.version = 2;
  p.depth = depth;
  p.characterId = id;
  p.matrix = Matrix::translate(x, 0);
  return p;
}

PlaceObject moveTo(uint16_t depth, double x) {
  PlaceObject p;
  p.version = 2;
  p.depth = depth;
  p.move = true;
  p.matrix = Matrix::translate(x, 0);
  return p;
}

ButtonRecord record(uint8_t states, uint16_t id, uint16_t depth) {
  ButtonRecord r;
  r.states = states;
  r.characterId = id;
  r.depth = depth;
  return r;
}

struct MovieBuilder {
  Movie movie;
  template <typename T>
  void define(uint16_t id, T character) {
    movie.characters[id] = std::make_shared<const Character>(std::move(character));
  }
  static Timeline timeline(std::vector<std::vector<ControlTag>> frames) {
    Timeline t;
    for (auto& tags : frames) t.frames.push_back(Frame{std::move(tags), {}});
    return t;
  }
};

struct Stage {
  explicit Stage(const Movie& movie) {
    context.movie = &movie;
    root = std::make_unique<MovieClip>(context, 0, movie.timeline, 0);
    root->enterFirstFrame();
  }
  StageContext context;
  std::unique_ptr<MovieClip> root;
  const DisplayObject* at(int depth) const {
    auto it = root->children()->find(depth);
    return it == root->children()->end() ? nullptr : it->second.get();
  }
};

TEST(Timeline, FramesPlaceMoveRemoveAndLoopBackToTheFirstFrame) {
  MovieBuilder b;
  b.define(1, square());
  b.movie.timeline = MovieBuilder::timeline({
      {placeNew(1, 1, 100)},
      {moveTo(1, 300), placeNew(2, 1)},
      {RemoveObject{2, {}}},
  });
  Stage stage(b.movie);
  const DisplayObject* first = stage.at(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->matrix.tx, 100);
  EXPECT_EQ(stage.at(2), nullptr);

  stage.root->advance();
  EXPECT_EQ(stage.root->currentFrame(), 2);
  EXPECT_EQ(stage.at(1), first) << "a move keeps the object";
  EXPECT_EQ(stage.at(1)->matrix.tx, 300);
  EXPECT_NE(stage.at(2), nullptr);

  stage.root->advance();
  EXPECT_EQ(stage.at(2), nullptr);

  // Back at the first frame the object placed there stays, with the first frame's position.
  stage.root->advance();
  EXPECT_EQ(stage.root->currentFrame(), 1);
  EXPECT_EQ(stage.at(1), first);
  EXPECT_EQ(stage.at(1)->matrix.tx, 100);
}

TEST(Timeline, GotoBackwardsRemovesLaterObjectsAndGotoForwardRunsTheFramesBetween) {
  MovieBuilder b;
  b.define(1, square());
  b.define(2, square());
  Frame labelled;
  b.movie.timeline = MovieBuilder::timeline({
      {placeNew(1, 1)},
      {placeNew(2, 1, 20)},
      {moveTo(2, 40)},
      {},
  });
  b.movie.timeline.frames[2].labels = {"Middle"};
  Stage stage(b.movie);
  stage.root->stop();
  int middle = stage.root->frameOfLabel("middle");
  EXPECT_EQ(middle, 3) << "labels compare without regard to case";
  EXPECT_EQ(stage.root->frameOfLabel("nowhere"), 0);
  stage.root->gotoFrame(middle);
  ASSERT_NE(stage.at(2), nullptr);
  EXPECT_EQ(stage.at(2)->matrix.tx, 40);
  stage.root->gotoFrame(1);
  EXPECT_EQ(stage.at(2), nullptr);
  EXPECT_NE(stage.at(1), nullptr);
  stage.root->gotoFrame(99);
  EXPECT_EQ(stage.root->currentFrame(), 4) << "frames beyond the end clamp to the last";
  stage.root->advance();
  EXPECT_EQ(stage.root->currentFrame(), 4) << "a stopped timeline stays";
}

TEST(Timeline, PlacementsAtAnOccupiedDepthAreIgnoredAndMovesCanReplaceTheCharacter) {
  MovieBuilder b;
  b.define(1, square());
  b.define(2, square());
  PlaceObject replace = moveTo(1, 70);
  replace.characterId = 2;
  replace.matrix.reset();
  b.movie.timeline = MovieBuilder::timeline({{placeNew(1, 1, 50), placeNew(1, 2, 90)}, {replace}});
  Stage stage(b.movie);
  ASSERT_NE(stage.at(1), nullptr);
  EXPECT_EQ(stage.at(1)->characterId(), 1);
  EXPECT_EQ(stage.at(1)->matrix.tx, 50);
  stage.root->advance();
  EXPECT_EQ(stage.at(1)->characterId(), 2);
  EXPECT_EQ(stage.at(1)->matrix.tx, 50) << "the replacement keeps the old placement's matrix";
}

TEST(Timeline, SpritesPlayTheirOwnTimelineFromTheirFirstFrame) {
  MovieBuilder b;
  b.define(1, square());
  Sprite sprite;
  sprite.timeline = MovieBuilder::timeline({{placeNew(1, 1)}, {moveTo(1, 10)}, {moveTo(1, 20)}});
  b.define(5, sprite);
  b.movie.timeline = MovieBuilder::timeline({{placeNew(1, 5)}, {placeNew(2, 5)}});
  Stage stage(b.movie);
  auto* a = dynamic_cast<const MovieClip*>(stage.at(1));
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->currentFrame(), 1);
  stage.root->advance();
  auto* later = dynamic_cast<const MovieClip*>(stage.at(2));
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(a->currentFrame(), 2);
  EXPECT_EQ(later->currentFrame(), 1) << "a clip placed this frame starts at its first frame";
  stage.root->advance();  // root loops to frame 1, which does not hold depth 2
  EXPECT_EQ(stage.at(2), nullptr);
  EXPECT_EQ(a->currentFrame(), 3);
  EXPECT_EQ(a->children()->at(1)->matrix.tx, 20);
}

TEST(HostileStructures, SelfContainingAndDeeplyNestedSpritesAreRefused) {
  MovieBuilder b;
  Sprite self;
  self.timeline = MovieBuilder::timeline({{placeNew(1, 7)}});
  b.define(7, self);
  Sprite ping, pong;
  ping.timeline = MovieBuilder::timeline({{placeNew(1, 9)}});
  pong.timeline = MovieBuilder::timeline({{placeNew(1, 8)}});
  b.define(8, ping);
  b.define(9, pong);
  // A chain of distinct sprites deeper than any real movie nests.
  for (uint16_t id = 100; id < 300; ++id) {
    Sprite s;
    s.timeline = MovieBuilder::timeline({{placeNew(1, uint16_t(id + 1))}});
    b.define(id, s);
  }
  Button button;
  button.records.push_back(record(kButtonUp, 20, 1));
  b.define(20, button);
  b.movie.timeline = MovieBuilder::timeline({{placeNew(1, 7), placeNew(2, 8), placeNew(3, 100), placeNew(4, 20),
                                              placeNew(5, 4242)}});
  Stage stage(b.movie);
  auto depthOf = [](const DisplayObject* o) {
    int levels = 0;
    while (o && o->children() && !o->children()->empty()) {
      o = o->children()->begin()->second.get();
      ++levels;
    }
    return levels;
  };
  ASSERT_NE(stage.at(1), nullptr);
  EXPECT_EQ(depthOf(stage.at(1)), 0) << "a sprite does not contain itself";
  EXPECT_EQ(depthOf(stage.at(2)), 1) << "two sprites that contain each other stop after one level";
  EXPECT_LE(depthOf(stage.at(3)), StageContext::kMaxNesting);
  EXPECT_GE(depthOf(stage.at(3)), StageContext::kMaxNesting - 1);
  EXPECT_EQ(depthOf(stage.at(4)), 0) << "a button that shows itself";
  EXPECT_EQ(stage.at(5), nullptr) << "an undefined character places nothing";
  EXPECT_FALSE(stage.context.warnings.empty());
  for (int i = 0; i < 5; ++i) stage.root->advance();  // nothing above may loop or crash when played
}

TEST(Buttons, ShowTheRecordsOfTheirStateOnly) {
  MovieBuilder b;
  b.define(1, square());
  b.define(2, square());
  Button button;
  button.records.push_back(record(kButtonUp, 1, 1));
  button.records.push_back(record(kButtonOver | kButtonDown, 2, 2));
  button.records.push_back(record(kButtonHitTest, 2, 3));
  b.define(3, button);
  b.movie.timeline = MovieBuilder::timeline({{placeNew(1, 3)}});
  Stage stage(b.movie);
  auto* shown = dynamic_cast<ButtonObject*>(stage.root->mutableChildren().at(1).get());
  ASSERT_NE(shown, nullptr);
  ASSERT_EQ(shown->children()->size(), 1u);
  EXPECT_EQ(shown->children()->begin()->second->characterId(), 1);
  shown->setState(kButtonOver);
  ASSERT_EQ(shown->children()->size(), 1u);
  EXPECT_EQ(shown->children()->begin()->first, 2);
}

TEST(FieldHtml, TextCarriesTheFormatOfItsTags) {
  TextFormat base;
  base.size = 12;
  struct Case {
    const char16_t* html;
    std::u16string text;
  };
  const Case cases[] = {
      {u"plain", u"plain"},
      {u"a<br>b", u"a\rb"},
      {u"<p>one</p><p>two</p>", u"one\rtwo\r"},
      {u"x &lt;&amp;&gt; &#65;&#x42; &bogus;", u"x <&> AB &bogus;"},
      {u"<unknown>kept</unknown>", u"kept"},
      {u"unterminated <b", u"unterminated "},
  };
  for (const Case& c : cases)
    EXPECT_EQ(parseFieldHtml(c.html, base, true, false).text, c.text)
        << std::string(c.html, c.html + std::char_traits<char16_t>::length(c.html));
  RichText rich = parseFieldHtml(u"<font face='Arial' size=\"+2\" color=\"#FF8000\"><b>big</b></font>small", base,
                                 true, false);
  ASSERT_EQ(rich.spans.size(), 2u);
  EXPECT_EQ(rich.spans[0].length, 3u);
  EXPECT_EQ(rich.spans[0].format.font, "Arial");
  EXPECT_EQ(rich.spans[0].format.size, 14);
  EXPECT_EQ(rich.spans[0].format.color, 0xFF8000u);
  EXPECT_EQ(rich.spans[0].format.bold, true);
  EXPECT_FALSE(rich.spans[1].format.bold.value_or(false));
  EXPECT_EQ(rich.spans[1].format.size, 12);
  auto right = parseFieldHtml(u"<p align=\"right\">r</p>", base, true, false);
  ASSERT_FALSE(right.spans.empty());
  EXPECT_EQ(right.spans[0].format.align, TextAlign::Right);
  // Tags nested beyond any real text's depth neither overflow nor lose the text.
  std::u16string deep;
  for (int i = 0; i < 10000; ++i) deep += u"<b>";
  deep += u"x";
  EXPECT_EQ(parseFieldHtml(deep, base, true, false).text, u"x");
}

// What a field gives back as htmlText: every paragraph in <P>, the first run's font in full, later runs
// with the attributes that differ, style tags innermost; the empty paragraph after a final break is not
// written.
TEST(FieldHtml, WritesParagraphsAndFontDifferences) {
  TextFormat base;
  base.font = "Arial";
  base.size = 10;
  base.color = 0;
  base.align = TextAlign::Left;
  base.letterSpacing = 0;
  base.kerning = false;
  struct Case {
    const char16_t* html;
    const char16_t* written;
  };
  const Case cases[] = {
      {u"", u""},
      {u"a", u"<P ALIGN=\"LEFT\"><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
             u"KERNING=\"0\">a</FONT></P>"},
      {u"a<br>", u"<P ALIGN=\"LEFT\"><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
                 u"KERNING=\"0\">a</FONT></P>"},
      {u"a<font color='#ff0000'><b>&lt;b</b></font><p align='center'>c</p>",
       u"<P ALIGN=\"LEFT\"><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
       u"KERNING=\"0\">a<FONT COLOR=\"#FF0000\"><B>&lt;b</B></FONT></FONT></P><P ALIGN=\"CENTER\"><FONT "
       u"FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" KERNING=\"0\">c</FONT></P>"},
      {u"<textformat leading='4'><li>x</li></textformat>",
       u"<TEXTFORMAT LEADING=\"4\"><LI><FONT FACE=\"Arial\" SIZE=\"10\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
       u"KERNING=\"0\">x</FONT></LI></TEXTFORMAT>"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(writeFieldHtml(parseFieldHtml(c.html, base, true, false), 8), std::u16string(c.written))
        << std::string(c.html, c.html + std::char_traits<char16_t>::length(c.html));
}

}  // namespace
}  // namespace vorlo::player
