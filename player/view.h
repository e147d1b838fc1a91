// What part of the movie a view shows, and where in the view it goes: the scale modes, the
// alignment of the movie in the view's spare room, and the zoom rectangle that zooming and
// panning move over the movie. Pure geometry, in twips on the movie's side and pixels on the view's.
#pragma once
#include <cstdint>

#include "player/swf/geometry.h"

namespace vorlo::player {

enum class ScaleMode : uint8_t { ShowAll, NoBorder, ExactFit, NoScale };

// Alignment bits, as hosts give them: the movie keeps to these edges instead of being centred.
enum Align : uint8_t { AlignLeft = 1, AlignRight = 2, AlignTop = 4, AlignBottom = 8 };
// "L", "T", "R", "B", "TL", "TR", "BL", "BR" in any case and order; other letters are ignored.
uint8_t alignFromText(const char* text);

// The matrix from the movie's twips to the view's pixels that shows `shown` (a part of the movie,
// normally its whole frame) in a view of `width` x `height`.
Matrix viewMatrix(const Rect& shown, int width, int height, ScaleMode scale, uint8_t align);

// Zooming by a percentage of what is shown (50 shows half as much, objects twice as big; 200 the
// reverse), around the centre of what is shown; never less than a twip across, and beyond a hundred
// frames across the whole frame again, as 0 or less gives.
Rect zoomedView(const Rect& shown, const Rect& frame, double percent);
// Moving what is shown by (dx, dy) twips, kept over the frame where it fits in it.
Rect pannedView(const Rect& shown, const Rect& frame, double dx, double dy);

}  // namespace vorlo::player
