// DefineButton 1-2 and the tags that complete a button: DefineButtonCxform, DefineButtonSound.
#include "player/swf/read_context.h"
#include "player/swf/tag_codes.h"

namespace vorlo::player {

namespace {

// Button records up to the closing zero byte.
bool readRecords(ReadContext& ctx, SwfReader& r, int version, std::vector<ButtonRecord>& out) {
  while (r.ok()) {
    uint8_t flags = r.u8();
    if (flags == 0) return r.ok();
    ButtonRecord b;
    b.states = flags & 0x0F;
    b.characterId = r.u16();
    b.depth = r.u16();
    b.matrix = r.matrix();
    if (version == 2) {
      b.colorTransform = r.colorTransform(true);
      if ((flags & 0x10) && !readFilterList(r, b.filters)) return false;
      if (flags & 0x20) b.blendMode = blendModeFromByte(r.u8());
    }
    if (!r.ok() || !ctx.charge(sizeof(ButtonRecord), "button records")) return false;
    out.push_back(std::move(b));
  }
  return false;
}

void damaged(ReadContext& ctx, uint16_t code, uint16_t id) {
  ctx.warn(std::string(tag::name(code)) + " " + std::to_string(id) + " is damaged: left out");
}

}  // namespace

void readButtonTag(ReadContext& ctx, uint16_t code, std::span<const uint8_t> body) {
  SwfReader r(body);
  uint16_t id = r.u16();
  if (code == tag::DefineButtonCxform) {
    ColorTransform c = r.colorTransform(false);
    Button* b = ctx.edit<Button>(id);
    if (!r.ok()) return damaged(ctx, code, id);
    if (b) b->legacyColorTransform = c;
    return;
  }
  if (code == tag::DefineButtonSound) {
    if (!r.ok()) return damaged(ctx, code, id);
    if (Button* b = ctx.edit<Button>(id); b && ctx.charge(body.size(), "button sounds"))
      b->sounds = RawTag{code, std::vector<uint8_t>(body.begin(), body.end())};
    return;
  }
  Button b;
  if (code == tag::DefineButton) {
    b.version = 1;
    if (!readRecords(ctx, r, 1, b.records)) return damaged(ctx, code, id);
    auto actions = r.rest();
    if (!ctx.charge(actions.size(), "button actions")) return;
    b.actions.push_back({0x8, std::vector<uint8_t>(actions.begin(), actions.end())});
  } else {
    b.version = 2;
    b.trackAsMenu = r.u8() & 1;
    size_t offsetAt = r.position();
    uint16_t actionOffset = r.u16();
    if (!readRecords(ctx, r, 2, b.records)) return damaged(ctx, code, id);
    if (actionOffset != 0) {
      size_t at = offsetAt + actionOffset;
      if (at > body.size()) return damaged(ctx, code, id);
      SwfReader a(body.subspan(at));
      while (!a.atEnd()) {
        uint16_t size = a.u16();
        uint16_t conditions = a.u16();
        if (!a.ok()) break;
        std::span<const uint8_t> actions = size == 0 ? a.rest() : a.bytes(size >= 4 ? size - 4 : 0);
        if (size != 0 && size < 4) a.fail();
        if (!a.ok()) break;
        if (!ctx.charge(actions.size() + sizeof(ButtonAction), "button actions")) return;
        b.actions.push_back({conditions, std::vector<uint8_t>(actions.begin(), actions.end())});
        if (size == 0) break;
      }
      if (!a.ok()) return damaged(ctx, code, id);
    }
  }
  ctx.define(id, std::move(b), code);
}

}  // namespace vorlo::player
