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

TEST(FieldHtml, RunsCarryTheFormatOfTheirTags) {
  TextRun base;
  base.size = 240;
  struct Case {
    const char16_t* html;
    std::vector<std::u16string> texts;
    std::vector<bool> paragraphEnds;
  };
  const Case cases[] = {
      {u"plain", {u"plain"}, {false}},
      {u"a<br>b", {u"a", u"b"}, {true, false}},
      {u"<p>one</p><p>two</p>", {u"one", u"two"}, {true, true}},
      {u"x &lt;&amp;&gt; &#65;&#x42; &bogus;", {u"x <&> AB &bogus;"}, {false}},
      {u"<unknown>kept</unknown>", {u"kept"}, {false}},
      {u"unterminated <b", {u"unterminated "}, {false}},
  };
  for (const Case& c : cases) {
    auto runs = parseFieldHtml(c.html, base);
    ASSERT_EQ(runs.size(), c.texts.size()) << std::string(c.html, c.html + std::char_traits<char16_t>::length(c.html));
    for (size_t i = 0; i < runs.size(); ++i) {
      EXPECT_EQ(runs[i].text, c.texts[i]);
      EXPECT_EQ(runs[i].paragraphEnd, c.paragraphEnds[i]);
    }
  }
  auto runs = parseFieldHtml(u"<font face='Arial' size=\"+2\" color=\"#FF8000\"><b>big</b></font>small", base);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].face, "Arial");
  EXPECT_EQ(runs[0].size, 280);
  EXPECT_EQ(runs[0].color, (Rgba{255, 128, 0, 255}));
  EXPECT_TRUE(runs[0].bold);
  EXPECT_FALSE(runs[1].bold);
  EXPECT_EQ(runs[1].size, 240);
  auto right = parseFieldHtml(u"<p align=\"right\">r</p>", base);
  ASSERT_FALSE(right.empty());
  EXPECT_EQ(right[0].align, TextAlign::Right);
  // Tags nested beyond any real text's depth neither overflow nor lose the text.
  std::u16string deep;
  for (int i = 0; i < 10000; ++i) deep += u"<b>";
  deep += u"x";
  auto deepRuns = parseFieldHtml(deep, base);
  ASSERT_EQ(deepRuns.size(), 1u);
  EXPECT_EQ(deepRuns[0].text, u"x");
}

}  // namespace
}  // namespace vorlo::player
