// ImportAssets: exported characters of another movie come in under the importing movie's ids with
// everything they draw with, renumbered around the importer's own ids; what cannot be imported is a
// warning. And the rule for which local files a movie may load at all.
#include <map>

#include "player/player.h"
#include "player/swf/imports.h"
#include "player/swf/local_files.h"
#include "tests/player/swf/swf_fixture.h"
#include "util/platform.h"

namespace vorlo::player::testing {
namespace {

// The library: a sprite that shows a bitmap-filled shape and a text in its own font. Its ids 2-4
// are also used by the importing movie for something else.
const char* kLibrary = R"(movie version=8 size=100x100
bitmap 2 format=24 width=2 height=2 pattern=solid:#00ff00
shape 3 version=3 { ; fill bitmap 2 scale=1000 ; rect 0 0 100px 100px fill0=1 ; }
font 4 version=2 name="F" ascent=800 descent=200 { ; glyph "a" advance=500 { ; moveTo 0 0 ; lineTo 400 0 ; lineTo 0 -400 ; } ; }
text 6 { ; record font=4 height=240 glyphs=0:500 ; }
sprite 5 { ; place 1 id=3 ; place 2 id=6 ; show ; }
export 5 "green" 4 "font"
show
)";

const char* kImporter = R"(movie version=8 size=100x100
background #ffffff
shape 2 { ; fill solid #ff0000 ; rect 0 0 10px 10px fill0=1 ; }
shape 3 { ; fill solid #0000ff ; rect 0 0 10px 10px fill0=1 ; }
import "lib/library.swf" 40 "green" 41 "font" 42 "missing"
place 1 id=40
show
)";

MovieSource memorySource(std::map<std::string, std::vector<uint8_t>> files) {
  return [files = std::move(files)](const std::string& url, std::string* error) -> std::optional<std::vector<uint8_t>> {
    auto it = files.find(url);
    if (it == files.end()) {
      *error = "no such file";
      return std::nullopt;
    }
    return it->second;
  };
}

TEST(Imports, ExportsComeInWithWhatTheyDrawWith) {
  auto movie = read(assemble(kImporter));
  ASSERT_TRUE(movie);
  resolveImports(*movie, memorySource({{"lib/library.swf", assemble(kLibrary)}}));

  // The importer's own characters are untouched.
  EXPECT_EQ(character<Shape>(*movie, 3).groups.at(0).fills.at(0).color.b, 255);
  const Sprite& sprite = character<Sprite>(*movie, 40);
  EXPECT_NE(movie->find<Font>(41), nullptr);
  ASSERT_FALSE(sprite.timeline.frames.empty());
  std::vector<uint16_t> placed;
  for (const ControlTag& tag : sprite.timeline.frames[0].tags)
    if (auto* p = std::get_if<PlaceObject>(&tag)) placed.push_back(p->characterId.value_or(0));
  ASSERT_EQ(placed.size(), 2u);
  // The shape came in under a fresh id, and its bitmap fill names the bitmap's fresh id.
  const Shape& shape = character<Shape>(*movie, placed[0]);
  EXPECT_NE(placed[0], 3);
  uint16_t bitmapId = shape.groups.at(0).fills.at(0).bitmapId;
  EXPECT_NE(bitmapId, 2);
  EXPECT_NE(movie->find<Bitmap>(bitmapId), nullptr);
  // The text's font is the one imported as 41: one copy, not two.
  const StaticText& text = character<StaticText>(*movie, placed[1]);
  EXPECT_EQ(text.records.at(0).fontId, 41);
  EXPECT_NE(warningsOf(*movie).find("exports no \"missing\""), std::string::npos) << warningsOf(*movie);
}

TEST(Imports, WhatCannotBeImportedIsAWarning) {
  struct Case {
    const char* name;
    std::map<std::string, std::vector<uint8_t>> files;
    const char* warning;
  } cases[] = {
      {"no such file", {}, "ImportAssets: lib/library.swf: no such file"},
      {"not a movie", {{"lib/library.swf", std::vector<uint8_t>(64, 'x')}}, "ImportAssets: lib/library.swf: "},
      {"imports itself",
       {{"lib/library.swf", assemble("movie version=8\nimport \"lib/library.swf\" 7 \"green\"\nexport 7 \"green\"\nshow\n")}},
       "imports itself or nests too deep"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto movie = read(assemble(kImporter));
    ASSERT_TRUE(movie);
    resolveImports(*movie, memorySource(c.files));
    EXPECT_NE(warningsOf(*movie).find(c.warning), std::string::npos) << warningsOf(*movie);
    EXPECT_NE(movie->find<Shape>(2), nullptr);
  }
  // An import onto an id the movie defines itself keeps the movie's own character.
  auto movie = read(assemble("movie version=8\nshape 40 { ; fill solid #ff0000 ; rect 0 0 1px 1px fill0=1 ; }\n"
                             "import \"lib/library.swf\" 40 \"green\"\nshow\n"));
  ASSERT_TRUE(movie);
  resolveImports(*movie, memorySource({{"lib/library.swf", assemble(kLibrary)}}));
  EXPECT_NE(movie->find<Shape>(40), nullptr);
  EXPECT_NE(warningsOf(*movie).find("character 40 is already defined"), std::string::npos);
}

TEST(Imports, TwoLibrariesDoNotTakeEachOthersIds) {
  // The first library's shape and bitmap need fresh ids; 1 and 2 are what the second import asks for.
  auto movie = read(assemble("movie version=8\nimport \"a.swf\" 40 \"green\"\nimport \"b.swf\" 1 \"green\" 2 \"font\"\nshow\n"));
  ASSERT_TRUE(movie);
  resolveImports(*movie, memorySource({{"a.swf", assemble(kLibrary)}, {"b.swf", assemble(kLibrary)}}));
  EXPECT_TRUE(movie->warnings.empty()) << warningsOf(*movie);
  EXPECT_NE(movie->find<Sprite>(40), nullptr);
  EXPECT_NE(movie->find<Sprite>(1), nullptr);
  EXPECT_NE(movie->find<Font>(2), nullptr);
}

TEST(Imports, ThePlayerDrawsAnImportedSprite) {
  Player player;
  player.setMovieSource(memorySource({{"lib/library.swf", assemble(kLibrary)}}));
  std::string error;
  ASSERT_TRUE(player.load(assemble(kImporter), &error)) << error;
  Surface surface(100, 100);
  player.render(surface, ScaleMode::ShowAll, Quality::High);
  uint32_t middle = surface.pixels[50 * 100 + 50];
  EXPECT_EQ(middle, argb(255, 0, 255, 0)) << std::hex << middle;
}

TEST(LocalFiles, AMovieReachesOnlyFilesInItsFolder) {
  const std::string folder = std::string("movies") + os::kPathSeparator + "app";
  auto in = [&](std::string rest) {
    for (char& c : rest)
      if (c == '/') c = os::kPathSeparator;
    return folder + os::kPathSeparator + rest;
  };
  const std::pair<const char*, std::string> allowed[] = {
      {"lib.swf", in("lib.swf")},           {"sub/lib.swf", in("sub/lib.swf")},
      {"sub\\lib.swf", in("sub/lib.swf")},  {"./a/../lib.swf", in("lib.swf")},
      {"file:lib.swf", in("lib.swf")},      {"data.txt?time=1#top", in("data.txt")},
      {"a//b.swf", in("a/b.swf")},
  };
  for (const auto& [url, path] : allowed) EXPECT_EQ(localPath(folder, url), path) << url;
  for (const char* url : {"", "../x.swf", "a/../../x.swf", "/etc/passwd", "C:\\x.swf", "c:x.swf", "\\\\server\\x.swf",
                          "//server/x.swf", "http://example/x.swf", "file:///etc/passwd", "x.swf.", "x.swf ",
                          "a/./..", "dir/", "x*.swf", "x\n.swf"})
    EXPECT_EQ(localPath(folder, url), std::nullopt) << url;
}

}  // namespace
}  // namespace vorlo::player::testing
