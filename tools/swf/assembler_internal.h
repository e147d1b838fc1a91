// The assembler's pieces, by concern; each turns statements into tag bodies.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "player/swf/filter.h"
#include "player/swf/movie.h"
#include "player/swf/shape.h"
#include "tools/swf/assembler.h"
#include "tools/swf/swf_writer.h"
#include "tools/swf/text_form.h"

namespace vorlo::swfasm {

// Tags in the order they are written, for one timeline (the movie's or a sprite's).
struct TagList {
  std::vector<uint8_t> bytes;
  int frames = 0;
  void add(uint16_t code, const std::vector<uint8_t>& body, bool forceLong = false) {
    appendTag(bytes, code, body, forceLong);
  }
};

struct AsmContext {
  AssembleOptions options;
  int version = 8;
  bool jpegTablesWritten = false;
  std::vector<uint8_t> jpegTables;  // tables of the generated DefineBits images, written once
};

// A matrix from options: matrix=a,b,c,d,tx,ty, or at=x,y with scale=sx[,sy], rotate=degrees and
// skew=x,y (degrees); the names take `prefix` (morph shapes' end matrices use "end-").
Matrix parseMatrix(Args& a, const std::string& prefix = "");
bool hasMatrix(Args& a, const std::string& prefix = "");
// mult=r,g,b[,a] (multipliers in 1/256) and add=r,g,b[,a]; or cx=r,g,b,a as fractions (0..1).
std::optional<ColorTransform> parseColorTransform(Args& a);
std::vector<player::GradientStop> parseStops(const Word& w);
player::Filter parseFilter(const Statement& s);
player::BlendMode parseBlendMode(const Word& w);
uint16_t parseId(const Word& w);

// Definitions.
void assembleShape(AsmContext& ctx, const Statement& s, TagList& out);
void assembleMorph(AsmContext& ctx, const Statement& s, TagList& out);
void assembleBitmap(AsmContext& ctx, const Statement& s, TagList& out);
void assembleJpeg(AsmContext& ctx, const Statement& s, TagList& out);
void assembleFont(AsmContext& ctx, const Statement& s, TagList& out);
void assembleAlignZones(AsmContext& ctx, const Statement& s, TagList& out);
void assembleText(AsmContext& ctx, const Statement& s, TagList& out);
void assembleEditText(AsmContext& ctx, const Statement& s, TagList& out);
void assembleButton(AsmContext& ctx, const Statement& s, TagList& out);
// Action records of a block (ending with the end action when `withEnd`).
std::vector<uint8_t> assembleActions(AsmContext& ctx, const std::vector<Statement>& block, bool withEnd = true);

// Glyph and edge records: the statements moveTo/lineTo/curveTo/rect/use/newstyles (shapes) of a
// block, written as SHAPE records with the given numbers of style index bits.
struct ShapeRecordsWriter;

void writeFilter(SwfWriter& w, const player::Filter& f);

}  // namespace vorlo::swfasm
