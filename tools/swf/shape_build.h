// Outlines as the assembler collects them before writing: style tables per group and the
// moveTo/lineTo/curveTo/use/newstyles operations, in absolute twips.
#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "player/swf/shape.h"
#include "tools/swf/swf_writer.h"
#include "tools/swf/text_form.h"

namespace vorlo::swfasm {

struct StyleTables {
  std::vector<player::FillStyle> fills;
  std::vector<player::LineStyle> lines;
};

struct OutlineOp {
  enum Kind { Move, Line, Curve, Style, NewStyles } kind = Move;
  int line = 0;  // of the text
  int32_t x = 0, y = 0, cx = 0, cy = 0;
  std::optional<uint16_t> fill0, fill1, lineStyle;
  static OutlineOp at(Kind kind, int line, int32_t x = 0, int32_t y = 0) {
    OutlineOp op;
    op.kind = kind;
    op.line = line;
    op.x = x;
    op.y = y;
    return op;
  }
};

struct Outline {
  std::vector<StyleTables> groups;
  std::vector<OutlineOp> ops;
};

struct MorphFillEnd {
  player::FillStyle fill;
};
struct MorphLineEnd {
  player::LineStyle line;
};

using StyleParser = std::function<void(const Statement&, StyleTables&)>;
using StyleWriter = std::function<void(SwfWriter&, const StyleTables&)>;

player::FillStyle parseFill(Args& a, MorphFillEnd* end);
player::LineStyle parseLine(const Statement& s, int version, MorphLineEnd* end);
void writeFill(SwfWriter& w, const player::FillStyle& f, int version);

// Outline statements of a block; with `styles`, fill/line/newstyles statements go to it.
void parseOutline(const std::vector<Statement>& block, Outline& out, const StyleParser* styles);
Rect outlineBounds(const Outline& o);
// SHAPE records (style bits, records, end record). Glyphs use one fill style bit and no line bits,
// and their first move takes fill style 1 unless it names its own.
void writeOutline(SwfWriter& w, const Outline& o, int version, bool glyph, const StyleWriter* styles);
Rect parseBoundsOption(Args& a, const char* key, Rect def);

}  // namespace vorlo::swfasm
