#include "player/display/characters.h"

#include "player/display/edit_text.h"
#include "player/display/hit_test.h"
#include "player/display/painter.h"

namespace vorlo::player {

void ShapeObject::paint(Painter& painter) const { painter.fillShape(shape_, painter.toPixels()); }

MorphObject::MorphObject(uint16_t id, const MorphShape& morph) : DisplayObject(id), morph_(morph) {
  ratioChanged();
}

void MorphObject::ratioChanged() {
  if (currentRatio_ == ratio) return;
  currentRatio_ = ratio;
  current_ = morphShapeAt(morph_, ratio / 65535.0);
}

bool ShapeObject::ownHit(Point local) const { return shapeHits(shape_, local); }
bool MorphObject::ownHit(Point local) const { return shapeHits(current_, local); }
bool StaticTextObject::ownHit(Point local) const {
  Rect r = ownBounds();
  return !r.empty() && local.x >= r.xMin && local.x <= r.xMax && local.y >= r.yMin && local.y <= r.yMax;
}

void MorphObject::paint(Painter& painter) const { painter.fillShape(current_, painter.toPixels()); }

void StaticTextObject::paint(Painter& painter) const {
  Matrix base = painter.toPixels() * text_.matrix;
  for (const TextRecord& record : text_.records) {
    const Font* font = movie_.find<Font>(record.fontId);
    if (!font || font->emSquare <= 0) continue;
    double scale = record.height / font->emSquare;
    double x = record.x;
    for (const TextGlyph& g : record.glyphs) {
      if (g.index < font->glyphs.size()) {
        Shape glyph = font->glyphs[g.index].shape;
        for (StyleGroup& group : glyph.groups) group.fills.assign(1, solidFill(record.color));
        painter.fillShape(glyph, base * Matrix{scale, 0, 0, scale, x, record.y});
      }
      x += g.advance;
    }
  }
}

ButtonObject::ButtonObject(StageContext& stage, uint16_t id, const Button& button, int nesting)
    : DisplayObject(id), stage_(stage), button_(button), nesting_(nesting) {
  setState(kButtonUp);
}

void ButtonObject::setState(uint8_t state) {
  if (state == state_) return;
  state_ = state;
  children_.clear();
  for (const ButtonRecord& r : button_.records) {
    if (!(r.states & state)) continue;
    auto child = instantiate(stage_, r.characterId, nesting_ + 1);
    if (!child) continue;
    child->matrix = r.matrix;
    child->colorTransform = button_.legacyColorTransform ? *button_.legacyColorTransform : r.colorTransform;
    child->filters = r.filters;
    child->blendMode = r.blendMode;
    DisplayObject* raw = child.get();
    children_[r.depth] = std::move(child);
    if (auto* clip = dynamic_cast<MovieClip*>(raw)) clip->enterFirstFrame();
  }
}

bool ButtonObject::hitAreaContains(Point local) const {
  for (const ButtonRecord& r : button_.records) {
    if (!(r.states & kButtonHitTest)) continue;
    Matrix inv;
    if (r.matrix.invert(inv) && characterHits(*stage_.movie, r.characterId, inv.apply(local))) return true;
  }
  return false;
}

void ButtonObject::advance() {
  for (auto& [depth, child] : children_) child->advance();
}

namespace {

// Instantiation refuses a timeline that (directly or through buttons) contains itself: the chain
// of characters being made is kept while their first frames run.
thread_local std::vector<uint16_t> gMaking;

struct MakingGuard {
  explicit MakingGuard(uint16_t id) { gMaking.push_back(id); }
  ~MakingGuard() { gMaking.pop_back(); }
};

}  // namespace

std::unique_ptr<DisplayObject> instantiate(StageContext& stage, uint16_t id, int nesting) {
  const Movie& movie = *stage.movie;
  auto it = movie.characters.find(id);
  if (it == movie.characters.end()) {
    stage.warn("placement of character " + std::to_string(id) + ", which is not defined");
    return nullptr;
  }
  if (nesting > StageContext::kMaxNesting) {
    stage.warn("character " + std::to_string(id) + " nested deeper than " +
               std::to_string(StageContext::kMaxNesting) + " levels: not shown");
    return nullptr;
  }
  const Character& c = *it->second;
  if (auto* shape = std::get_if<Shape>(&c)) return std::make_unique<ShapeObject>(id, *shape);
  if (auto* morph = std::get_if<MorphShape>(&c)) return std::make_unique<MorphObject>(id, *morph);
  if (auto* text = std::get_if<StaticText>(&c)) return std::make_unique<StaticTextObject>(id, *text, movie);
  if (auto* field = std::get_if<EditText>(&c)) return std::make_unique<EditTextObject>(id, *field, movie);
  if (std::get_if<Sprite>(&c) || std::get_if<Button>(&c)) {
    for (uint16_t making : gMaking) {
      if (making == id) {
        stage.warn("character " + std::to_string(id) + " contains itself: not shown");
        return nullptr;
      }
    }
  }
  if (auto* sprite = std::get_if<Sprite>(&c)) {
    // The first frame runs here, while the guard knows this sprite is being made.
    MakingGuard guard(id);
    auto clip = std::make_unique<MovieClip>(stage, id, sprite->timeline, nesting);
    clip->enterFirstFrame();
    return clip;
  }
  if (auto* button = std::get_if<Button>(&c)) {
    MakingGuard guard(id);
    return std::make_unique<ButtonObject>(stage, id, *button, nesting);
  }
  // Fonts, bitmaps and sounds are not placed.
  return nullptr;
}

}  // namespace vorlo::player
