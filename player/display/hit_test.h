// Whether a point falls on what the stage shows: shapes by their fills and strokes, text by its
// box, buttons by their hit-test state, timelines by their children (inside their masks).
// Points are in twips.
#pragma once
#include <vector>

#include "player/display/display_object.h"

namespace vorlo::player {

// `local` is in the shape's own space. Strokes count within half their width (at least
// `minStrokeHalf`, so that hairlines can be hit).
bool shapeHits(const Shape& shape, Point local, double minStrokeHalf = 20);

// Whether character `id` of the movie (placed with the identity matrix) covers `local`: shapes,
// morphs at their start, texts by their boxes, sprites by the placements of their first frame.
// Used for buttons' hit-test states, which are never shown.
bool characterHits(const Movie& movie, uint16_t id, Point local);

// `p` is in the space of the object's parent.
bool objectHits(const DisplayObject& object, Point p);

// The chain of objects from `root` (first) down to `target` (last); empty when `target` is not
// on the stage below `root`.
std::vector<DisplayObject*> pathTo(DisplayObject& root, const DisplayObject& target);
// The matrix from `target`'s space to `root`'s space (false when `target` is not below `root`).
bool matrixToRoot(DisplayObject& root, const DisplayObject& target, Matrix& out);
// The matrix from `root`'s space to the space `target` is placed in (its parent's; the identity
// for `root` itself). False when `target` is not below `root` or the space cannot be inverted.
bool rootToParentSpace(DisplayObject& root, const DisplayObject& target, Matrix& out);

}  // namespace vorlo::player
