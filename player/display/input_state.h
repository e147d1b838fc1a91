// What the pointer and the keyboard are doing, as the stage and its scripts see it.
#pragma once
#include <bitset>
#include <optional>

#include "player/swf/geometry.h"

namespace vorlo::player {

class DisplayObject;

struct InputState {
  Point mouse;  // twips, in the main timeline's space
  bool mouseDown = false;
  bool cursorHidden = false;    // Mouse.hide()
  std::bitset<256> keysDown;    // by virtual-key code
  bool capsLock = false, numLock = false;
  int lastKeyCode = 0;          // the last key pressed (Key.getCode)
  int lastCharacter = 0;        // the character it typed (Key.getAscii)
  // startDrag: the object that follows the pointer (checked against the stage before each use),
  // the offset it keeps from the pointer in its parent's space, and the rectangle it stays in.
  DisplayObject* dragged = nullptr;
  Point dragOffset;
  std::optional<Rect> dragBounds;
};

}  // namespace vorlo::player
