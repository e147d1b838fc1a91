// A movie as read from its bytes: the header, the dictionary of characters and the main timeline.
// Definitions are decoded when the movie is read; the tags that later layers interpret (actions,
// sounds) are kept as their bytes. A damaged movie yields what could be read, with warnings.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "player/swf/bitmap.h"
#include "player/swf/filter.h"
#include "player/swf/geometry.h"
#include "player/swf/shape.h"

namespace vorlo::player {

enum class BlendMode : uint8_t {
  Normal = 0,  // 0 and 1 in the file
  Layer = 2,
  Multiply = 3,
  Screen = 4,
  Lighten = 5,
  Darken = 6,
  Difference = 7,
  Add = 8,
  Subtract = 9,
  Invert = 10,
  Alpha = 11,
  Erase = 12,
  Overlay = 13,
  HardLight = 14,
};

// A tag kept as its bytes for the layer that interprets it (DoAction, DoInitAction, StartSound,
// SoundStreamHead/Block, DefineButtonSound, ...). `code` is the tag code.
struct RawTag {
  uint16_t code = 0;
  std::vector<uint8_t> body;
};

// PlaceObject 1, 2 and 3. Absent fields keep what the object at that depth has.
struct PlaceObject {
  uint8_t version = 1;
  uint16_t depth = 0;
  bool move = false;  // modify (or, with a character id, replace) what is at `depth`
  std::optional<uint16_t> characterId;
  std::optional<Matrix> matrix;  // translation in twips
  std::optional<ColorTransform> colorTransform;
  std::optional<uint16_t> ratio;
  std::optional<std::string> name;
  std::optional<uint16_t> clipDepth;
  std::optional<BlendMode> blendMode;
  std::optional<std::vector<Filter>> filters;
  std::optional<bool> cacheAsBitmap;
  std::optional<bool> visible;
  std::optional<Rgba> backgroundColor;
  std::optional<std::string> className;
  std::vector<uint8_t> clipActions;  // the CLIPACTIONS record as stored, empty when absent
};

struct RemoveObject {
  uint16_t depth = 0;
  std::optional<uint16_t> characterId;  // RemoveObject (1) names it
};

struct SetBackgroundColor {
  Rgba color;
};

using ControlTag = std::variant<PlaceObject, RemoveObject, SetBackgroundColor, RawTag>;

struct Frame {
  std::vector<ControlTag> tags;   // in file order
  std::vector<std::string> labels;
};

struct Timeline {
  std::vector<Frame> frames;  // one per ShowFrame; at least one
};

struct Sprite {
  uint16_t declaredFrameCount = 0;
  Timeline timeline;
};

// The interpolated pair of a DefineMorphShape: start and end edges match one to one.
struct MorphShape {
  Rect startBounds, endBounds;
  Rect startEdgeBounds, endEdgeBounds;
  bool usesNonScalingStrokes = false, usesScalingStrokes = false;
  std::vector<FillStyle> startFills, endFills;
  std::vector<LineStyle> startLines, endLines;
  std::vector<Edge> startEdges, endEdges;  // style indices into the tables above
};
// The shape at `ratio` (0 = start, 1 = end).
Shape morphShapeAt(const MorphShape& morph, double ratio);

struct ButtonRecord {
  uint8_t states = 0;  // bit 0 up, 1 over, 2 down, 3 hit test
  uint16_t characterId = 0;
  uint16_t depth = 0;
  Matrix matrix;
  ColorTransform colorTransform;
  std::vector<Filter> filters;
  BlendMode blendMode = BlendMode::Normal;
};
enum ButtonState : uint8_t { kButtonUp = 1, kButtonOver = 2, kButtonDown = 4, kButtonHitTest = 8 };

struct ButtonAction {
  uint16_t conditions = 0;  // DefineButton (1) stores its one action list with condition 0x8 (release)
  std::vector<uint8_t> actions;
};

struct Button {
  uint8_t version = 1;
  bool trackAsMenu = false;
  std::vector<ButtonRecord> records;
  std::vector<ButtonAction> actions;
  std::optional<ColorTransform> legacyColorTransform;  // DefineButtonCxform
  std::optional<RawTag> sounds;                         // DefineButtonSound
};

struct Glyph {
  Shape shape;  // one group, no style tables; fill index 1 stands for the text colour
  uint16_t code = 0;      // UTF-16 unit (or the movie's code page for old fonts without wide codes)
  double advance = 0;     // in the font's em units
  Rect bounds;
};

struct Font {
  uint8_t version = 1;  // DefineFont 1, 2 or 3
  std::string name;     // UTF-8
  bool bold = false, italic = false, smallText = false, ansi = false, shiftJis = false;
  bool hasLayout = false;
  double emSquare = 1024;  // glyph units per em: 1024, or 20480 for DefineFont3
  double ascent = 0, descent = 0, leading = 0;
  std::vector<Glyph> glyphs;
  std::map<std::pair<uint16_t, uint16_t>, double> kerning;  // code pair -> adjustment
  std::optional<std::vector<std::array<float, 4>>> alignZones;  // per glyph: x, y, width, height
  std::optional<uint8_t> csmThickness;                            // alignment zone hint
  std::string fullName, copyright;                                // DefineFontName, UTF-8
};

struct TextGlyph {
  uint32_t index = 0;
  int32_t advance = 0;  // twips
};
struct TextRecord {
  uint16_t fontId = 0;   // carried over from earlier records when a record omits it
  Rgba color;
  double x = 0, y = 0;   // twips, in the text's own space (carried over likewise; a record
                         // without an x offset starts where the previous record's advances end)
  double height = 0;     // twips
  std::vector<TextGlyph> glyphs;
};
struct StaticText {
  uint8_t version = 1;  // DefineText 1 or 2 (2 has alpha)
  Rect bounds;
  Matrix matrix;
  std::vector<TextRecord> records;
};

enum class TextAlign : uint8_t { Left = 0, Right = 1, Center = 2, Justify = 3 };
struct EditText {
  Rect bounds;
  bool wordWrap = false, multiline = false, password = false, readOnly = false, autoSize = false;
  bool noSelect = false, border = false, wasStatic = false, html = false, useOutlines = false;
  std::optional<uint16_t> fontId;
  std::string fontClass;
  uint16_t fontHeight = 240;  // twips
  Rgba textColor{0, 0, 0, 255};
  std::optional<uint16_t> maxLength;
  TextAlign align = TextAlign::Left;
  uint16_t leftMargin = 0, rightMargin = 0, indent = 0;
  int16_t leading = 0;
  std::string variableName;  // UTF-8
  std::string initialText;   // UTF-8
  // CSMTextSettings: anti-aliasing (0 normal, 1 advanced), grid fitting (0 none, 1 pixel,
  // 2 subpixel), thickness and sharpness.
  uint8_t antiAlias = 0, gridFit = 1;
  float thickness = 0, sharpness = 0;
};

struct Sound {
  uint8_t format = 0, rate = 0;
  bool sixteenBit = false, stereo = false;
  uint32_t sampleCount = 0;
  std::vector<uint8_t> data;
};

using Character =
    std::variant<Shape, MorphShape, Sprite, Button, Font, StaticText, EditText, Bitmap, Sound>;

struct MovieHeader {
  char signature = 'F';  // F plain, C zlib, Z LZMA
  uint8_t version = 0;
  uint32_t fileLength = 0;
  Rect frameSize;  // twips
  double frameRate = 12;
  uint16_t frameCount = 0;
};

struct ImportedAsset {
  std::string url;
  uint16_t characterId = 0;
  std::string name;
};

struct Movie {
  MovieHeader header;
  Rgba backgroundColor{255, 255, 255, 255};
  uint32_t fileAttributes = 0;
  bool isProtected = false;
  std::string metadata;
  std::map<uint16_t, std::shared_ptr<const Character>> characters;
  std::map<uint16_t, Rect> scalingGrids;  // DefineScalingGrid: character id -> centre rectangle
  std::map<std::string, uint16_t> exports;
  std::vector<ImportedAsset> imports;
  Timeline timeline;
  std::vector<std::string> warnings;  // what was damaged, refused or skipped, in reading order

  template <typename T>
  const T* find(uint16_t id) const {
    auto it = characters.find(id);
    return it == characters.end() ? nullptr : std::get_if<T>(it->second.get());
  }
};

// Reads a whole movie (FWS, CWS or ZWS). Returns null with `error` set when not even the header
// can be read; otherwise a movie holding everything up to the first damage, which `warnings` names.
std::unique_ptr<Movie> readMovie(std::span<const uint8_t> bytes, std::string* error);

}  // namespace vorlo::player
