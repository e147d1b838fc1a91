#include "player/display/hit_test.h"

#include <cmath>

#include "player/display/characters.h"
#include "player/display/edit_text.h"

namespace vorlo::player {

namespace {

constexpr int kCurveSteps = 16;
constexpr int kMaxSpriteNesting = 16;

bool inside(const Rect& r, Point p) { return !r.empty() && p.x >= r.xMin && p.x <= r.xMax && p.y >= r.yMin && p.y <= r.yMax; }

double segmentDistance(Point a, Point b, Point p) {
  double dx = b.x - a.x, dy = b.y - a.y;
  double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
  return std::hypot(a.x + t * dx - p.x, a.y + t * dy - p.y);
}

// Calls `fn(a, b)` for the straight pieces of an edge (curves flattened).
template <typename Fn>
void forEachPiece(const Edge& e, Fn&& fn) {
  if (!e.curved) {
    fn(e.from, e.to);
    return;
  }
  Point prev = e.from;
  for (int i = 1; i <= kCurveSteps; ++i) {
    double t = double(i) / kCurveSteps, u = 1 - t;
    Point next{u * u * e.from.x + 2 * u * t * e.control.x + t * t * e.to.x,
               u * u * e.from.y + 2 * u * t * e.control.y + t * t * e.to.y};
    fn(prev, next);
    prev = next;
  }
}

bool groupHits(const StyleGroup& group, bool nonZero, Point p, double minStrokeHalf) {
  // Per fill style: the winding of its outline around p (edges with the fill on their right run
  // forwards, those with it on their left backwards), and the crossings for the even-odd rule.
  size_t fills = group.fills.size();
  std::vector<int> winding(fills + 1, 0), crossings(fills + 1, 0);
  for (const Edge& e : group.edges) {
    bool hasFill = (e.fill0 != e.fill1) && (e.fill0 || e.fill1);
    if (hasFill) {
      forEachPiece(e, [&](Point a, Point b) {
        if ((a.y <= p.y) == (b.y <= p.y)) return;
        double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x <= p.x) return;
        int dir = b.y > a.y ? 1 : -1;
        if (e.fill1 && e.fill1 <= fills) {
          winding[e.fill1] += dir;
          ++crossings[e.fill1];
        }
        if (e.fill0 && e.fill0 <= fills) {
          winding[e.fill0] -= dir;
          ++crossings[e.fill0];
        }
      });
    }
    if (e.line && e.line <= group.lines.size()) {
      double half = std::max(group.lines[e.line - 1].width / 2.0, minStrokeHalf);
      bool near = false;
      forEachPiece(e, [&](Point a, Point b) { near = near || segmentDistance(a, b, p) <= half; });
      if (near) return true;
    }
  }
  for (size_t f = 1; f <= fills; ++f)
    if (nonZero ? winding[f] != 0 : (crossings[f] & 1) != 0) return true;
  return false;
}

bool characterHitsAt(const Movie& movie, uint16_t id, Point local, int nesting) {
  auto it = movie.characters.find(id);
  if (it == movie.characters.end() || nesting > kMaxSpriteNesting) return false;
  const Character& c = *it->second;
  if (auto* shape = std::get_if<Shape>(&c)) return shapeHits(*shape, local);
  if (auto* morph = std::get_if<MorphShape>(&c)) return shapeHits(morphShapeAt(*morph, 0), local);
  if (auto* text = std::get_if<StaticText>(&c)) return inside(text->matrix.apply(text->bounds), local);
  if (auto* field = std::get_if<EditText>(&c)) return inside(field->bounds, local);
  if (auto* sprite = std::get_if<Sprite>(&c)) {
    if (sprite->timeline.frames.empty()) return false;
    for (const ControlTag& tag : sprite->timeline.frames.front().tags) {
      auto* place = std::get_if<PlaceObject>(&tag);
      if (!place || place->move || !place->characterId || place->clipDepth) continue;
      Matrix inv;
      if (!place->matrix.value_or(Matrix{}).invert(inv)) continue;
      if (characterHitsAt(movie, *place->characterId, inv.apply(local), nesting + 1)) return true;
    }
  }
  return false;
}

bool listHits(const DisplayList& list, Point p) {
  const DisplayObject* mask = nullptr;
  int maskUntil = -1;
  for (const auto& [depth, child] : list) {
    if (child->clipDepth) {
      mask = child.get();
      maskUntil = child->clipDepth;
      continue;
    }
    bool masked = mask && depth <= maskUntil;
    if (!child->visible) continue;
    if (objectHits(*child, p) && (!masked || objectHits(*mask, p))) return true;
  }
  return false;
}

bool findPath(DisplayObject& from, const DisplayObject& target, std::vector<DisplayObject*>& path, int depth) {
  path.push_back(&from);
  if (&from == &target) return true;
  if (const DisplayList* list = from.children(); list && depth < StageContext::kMaxNesting)
    for (const auto& [d, child] : *list)
      if (findPath(*child, target, path, depth + 1)) return true;
  path.pop_back();
  return false;
}

}  // namespace

bool shapeHits(const Shape& shape, Point local, double minStrokeHalf) {
  if (!inside(shape.bounds, local)) return false;
  for (const StyleGroup& group : shape.groups)
    if (groupHits(group, shape.nonZeroWinding, local, minStrokeHalf)) return true;
  return false;
}

bool characterHits(const Movie& movie, uint16_t id, Point local) { return characterHitsAt(movie, id, local, 0); }

bool objectHits(const DisplayObject& object, Point p) {
  Matrix inv;
  if (!object.matrix.invert(inv)) return false;
  Point local = inv.apply(p);
  if (auto* button = dynamic_cast<const ButtonObject*>(&object)) return button->hitAreaContains(local);
  if (auto* field = dynamic_cast<const EditTextObject*>(&object)) return inside(field->bounds(), local);
  if (object.ownHit(local)) return true;
  const DisplayList* list = object.children();
  return list && listHits(*list, local);
}

std::vector<DisplayObject*> pathTo(DisplayObject& root, const DisplayObject& target) {
  std::vector<DisplayObject*> path;
  if (!findPath(root, target, path, 0)) path.clear();
  return path;
}

bool matrixToRoot(DisplayObject& root, const DisplayObject& target, Matrix& out) {
  std::vector<DisplayObject*> path = pathTo(root, target);
  if (path.empty()) return false;
  out = Matrix{};
  for (size_t i = 1; i < path.size(); ++i) out = out * path[i]->matrix;
  return true;
}

bool rootToParentSpace(DisplayObject& root, const DisplayObject& target, Matrix& out) {
  std::vector<DisplayObject*> path = pathTo(root, target);
  if (path.empty()) return false;
  Matrix parentToRoot;
  for (size_t i = 1; i + 1 < path.size(); ++i) parentToRoot = parentToRoot * path[i]->matrix;
  return parentToRoot.invert(out);
}

}  // namespace vorlo::player
