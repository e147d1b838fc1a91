// The pointer and the keyboard: which button or clip the pointer is over, the transitions of the
// button state machine (roll over and out, press, release, drag over and out, release outside)
// with their actions, handlers and clip events, the pointer and key events every clip and
// listener hears, dragging, and typing into the focused text field.
#include <algorithm>
#include <utility>

#include "player/avm1/input_api.h"
#include "player/avm1/text_api.h"
#include "player/avm1/vm.h"
#include "player/display/characters.h"
#include "player/display/edit_text.h"
#include "player/display/hit_test.h"
#include "player/player.h"

namespace vorlo::player {

namespace {

// Clip event bits of placements' handlers.
enum : uint32_t {
  kMouseMove = 0x8,
  kMouseDown = 0x10,
  kMouseUp = 0x20,
  kKeyDown = 0x40,
  kKeyUp = 0x80,
  kButtonEvents = 0x1FC00,  // press to drag out
  kKeyPress = 0x20000,
};

// The button state machine's transitions: the button action condition, the clip event, the
// handler method, the state shown afterwards, and the frame label a clip with handlers shows.
struct Transition {
  uint16_t condition;
  uint32_t clipEvent;
  const char* handler;
  uint8_t state;
  const char* label;
};
enum TransitionId { kRollOver, kRollOut, kPress, kRelease, kReleaseOutside, kDragOver, kDragOut };
constexpr Transition kTransitions[] = {
    {0x0001, 0x2000, "onRollOver", kButtonOver, "_over"},
    {0x0002, 0x4000, "onRollOut", kButtonUp, "_up"},
    {0x0004, 0x0400, "onPress", kButtonDown, "_down"},
    {0x0008, 0x0800, "onRelease", kButtonOver, "_over"},
    {0x0040, 0x1000, "onReleaseOutside", kButtonUp, "_up"},
    {0x0020, 0x8000, "onDragOver", kButtonDown, "_down"},
    {0x0010, 0x10000, "onDragOut", kButtonOver, "_over"},
};
constexpr const char* kButtonHandlers[] = {"onPress",          "onRelease",  "onReleaseOutside", "onRollOver",
                                           "onRollOut",        "onDragOver", "onDragOut"};

// The key codes of button key-press conditions and key press clip events: special keys have
// codes of their own, other keys are their characters.
constexpr std::pair<int, int> kSpecialKeys[] = {{37, 1},  {39, 2},  {36, 3},  {35, 4},  {45, 5},
                                                {46, 6},  {8, 8},   {13, 13}, {38, 14}, {40, 15},
                                                {33, 16}, {34, 17}, {9, 18},  {27, 19}};

int pressCode(int keyCode, char16_t character) {
  for (auto [vk, code] : kSpecialKeys)
    if (vk == keyCode) return code;
  return character > 0 && character < 128 ? character : 0;
}

template <typename Fn>
void forEachObject(DisplayObject& object, Fn&& fn, int depth = 0) {
  fn(object);
  if (const DisplayList* list = object.children(); list && depth < StageContext::kMaxNesting)
    for (auto& [d, child] : *list) forEachObject(*child, fn, depth + 1);
}

}  // namespace

void Player::setViewport(int width, int height, ScaleMode scale) {
  viewWidth_ = width;
  viewHeight_ = height;
  viewScale_ = scale;
}

Point Player::toMovie(double x, double y) const {
  Rect frame = movie_->header.frameSize;
  int w = viewWidth_, h = viewHeight_;
  if (w <= 0 || h <= 0) {
    w = int(std::max(1.0, (frame.xMax - frame.xMin) / 20));
    h = int(std::max(1.0, (frame.yMax - frame.yMin) / 20));
  }
  Matrix inv;
  if (!stageMatrix(w, h, viewScale_).invert(inv)) return {};
  return inv.apply(Point{x, y});
}

bool Player::onStage(const DisplayObject* object) { return object && !pathTo(*root_, *object).empty(); }

bool Player::isButtonLike(DisplayObject& object) {
  auto* clip = dynamic_cast<MovieClip*>(&object);
  bool button = dynamic_cast<ButtonObject*>(&object) != nullptr;
  if (!button && (!clip || clip == root_.get())) return false;
  if (!button) {
    // A clip becomes a button when it has handlers for the button events.
    auto* c = static_cast<avm1::ClipObject*>(object.scriptPeer);
    if (!c) return false;
    bool handles = std::any_of(c->clipEvents.begin(), c->clipEvents.end(),
                               [](const auto& e) { return (e.events & kButtonEvents) != 0; });
    if (!handles && vm_->version >= 6)
      for (const char* name : kButtonHandlers) {
        avm1::Value fn = vm_->get(c, name);
        if (fn.isObject() && fn.obj->kind == avm1::Kind::Function) {
          handles = true;
          break;
        }
      }
    if (!handles) return false;
  }
  if (!object.scriptPeer) return true;
  avm1::Value enabled = vm_->get(static_cast<avm1::ClipObject*>(object.scriptPeer), "enabled");
  return !(enabled.type == avm1::Type::Boolean && !enabled.boolean());
}

DisplayObject* Player::pick(DisplayObject& parent, Point p, int depth) {
  const DisplayList* list = parent.children();
  if (!list || depth > StageContext::kMaxNesting) return nullptr;
  // Each child with the mask over it, then searched from the top down.
  std::vector<std::pair<DisplayObject*, DisplayObject*>> order;
  DisplayObject* mask = nullptr;
  int maskUntil = -1;
  for (auto& [d, child] : *list) {
    if (child->clipDepth) {
      mask = child.get();
      maskUntil = child->clipDepth;
      continue;
    }
    order.push_back({child.get(), mask && d <= maskUntil ? mask : nullptr});
  }
  for (auto it = order.rbegin(); it != order.rend(); ++it) {
    DisplayObject& child = *it->first;
    if (!child.visible || (it->second && !objectHits(*it->second, p))) continue;
    if (isButtonLike(child)) {
      if (objectHits(child, p)) return &child;
      continue;
    }
    if (auto* field = dynamic_cast<EditTextObject*>(&child)) {
      if ((field->selectable || !field->readOnly) && objectHits(child, p)) return &child;
      continue;
    }
    Matrix inv;
    if (dynamic_cast<MovieClip*>(&child) && child.matrix.invert(inv))
      if (DisplayObject* found = pick(child, inv.apply(p), depth + 1)) return found;
  }
  return nullptr;
}

void Player::transition(DisplayObject& object, int which) {
  const Transition& t = kTransitions[which];
  inputChanged_ = true;
  avm1::ClipObject* self = vm_->clipObject(object);
  if (auto* button = dynamic_cast<ButtonObject*>(&object)) {
    button->setState(t.state);
    playButtonSound(button->definition(), which);
    std::vector<DisplayObject*> path = pathTo(*root_, object);
    auto* parent = path.size() >= 2 ? dynamic_cast<MovieClip*>(path[path.size() - 2]) : nullptr;
    for (const ButtonAction& action : button->definition().actions) {
      if (!(action.conditions & t.condition) || !parent) continue;
      auto block = std::make_shared<const std::vector<uint8_t>>(action.actions);
      vm_->runCode(vm_->clipObject(*parent), avm1::Code{block, 0, uint32_t(block->size())});
      if (!self->display) return;  // the actions removed the button
    }
  } else if (auto* clip = dynamic_cast<MovieClip*>(&object)) {
    // A clip acting as a button shows its "_up", "_over" and "_down" frames when it has them.
    if (int frame = clip->frameOfLabel(t.label)) {
      vm_->gotoFrame(*clip, frame);
      clip->stop();
    }
    runClipEvent(self, t.clipEvent);
  }
  if (vm_->version >= 6 && self->display) vm_->callMethodIfPresent(object, t.handler);
}

void Player::updateHover() {
  InputState& in = stage_.input;
  if (!onStage(pointer_.hovered)) pointer_.hovered = nullptr;
  if (!onStage(pointer_.pressed)) pointer_.pressed = nullptr;
  DisplayObject* target = pointer_.inView ? pick(*root_, in.mouse, 0) : nullptr;
  if (target && !isButtonLike(*target)) target = nullptr;
  if (pointer_.pressed) {
    bool over = target == pointer_.pressed;
    if (over != pointer_.overPressed) {
      pointer_.overPressed = over;
      transition(*pointer_.pressed, over ? kDragOver : kDragOut);
    }
    return;
  }
  if (target == pointer_.hovered) return;
  if (DisplayObject* old = std::exchange(pointer_.hovered, nullptr)) transition(*old, kRollOut);
  if (target && onStage(target)) {
    pointer_.hovered = target;
    transition(*target, kRollOver);
  }
}

void Player::scriptFocus(DisplayObject* to) {
  // The focused object takes the pointer's place; text fields have no roll-over events (and are
  // not kept as the object under the pointer, which would roll out of them later).
  if (!onStage(pointer_.hovered)) pointer_.hovered = nullptr;
  if (to && dynamic_cast<EditTextObject*>(to)) to = nullptr;
  DisplayObject* old = std::exchange(pointer_.hovered, to);
  if (old) focusTransitions_.push_back({old, kRollOut});
  if (to) focusTransitions_.push_back({to, kRollOver});
}

void Player::runFocusTransitions() {
  for (size_t i = 0; i < focusTransitions_.size() && i < 10000; ++i) {
    auto [object, which] = focusTransitions_[i];
    if (!onStage(object)) continue;
    try {
      transition(*object, which);
    } catch (avm1::ScriptThrow&) {
    } catch (avm1::ScriptAbort& abort) {
      vm_->warn(abort.reason);
    }
  }
  focusTransitions_.clear();
}

void Player::broadcast(const char* object, const char* message) {
  avm1::Value listener = vm_->get(vm_->global(), object);
  if (!listener.isObject()) return;
  try {
    vm_->callMethod(listener, "broadcastMessage", {avm1::Value(message)});
  } catch (avm1::ScriptThrow&) {
  } catch (avm1::ScriptAbort& abort) {
    vm_->warn(abort.reason);
  }
}

void Player::clipEventEverywhere(uint32_t event, const char* method, int keyCode) {
  // The script objects of every clip first: handlers may remove clips while others wait.
  std::vector<avm1::ClipObject*> clips;
  forEachObject(*root_, [&](DisplayObject& o) {
    if (dynamic_cast<MovieClip*>(&o)) clips.push_back(vm_->clipObject(o));
  });
  for (auto it = clips.rbegin(); it != clips.rend(); ++it) {
    avm1::ClipObject* c = *it;
    for (const auto& e : c->clipEvents) {
      if (!c->display) break;
      if ((e.events & event) && (keyCode < 0 || e.keyCode == keyCode)) {
        inputChanged_ = true;
        vm_->runCode(c, e.code);
      }
    }
    if (method && vm_->version >= 6 && c->display) vm_->callMethodIfPresent(*c->display, method);
  }
}

void Player::buttonKeyPress(int code) {
  if (code <= 0) return;
  std::vector<avm1::ClipObject*> buttons;
  forEachObject(*root_, [&](DisplayObject& o) {
    if (dynamic_cast<ButtonObject*>(&o) && o.visible) buttons.push_back(vm_->clipObject(o));
  });
  for (avm1::ClipObject* c : buttons) {
    auto* button = dynamic_cast<ButtonObject*>(c->display);
    if (!button || !isButtonLike(*button)) continue;
    std::vector<DisplayObject*> path = pathTo(*root_, *button);
    auto* parent = path.size() >= 2 ? dynamic_cast<MovieClip*>(path[path.size() - 2]) : nullptr;
    for (const ButtonAction& action : button->definition().actions) {
      if (!parent || (action.conditions >> 9) != code) continue;
      inputChanged_ = true;
      auto block = std::make_shared<const std::vector<uint8_t>>(action.actions);
      vm_->runCode(vm_->clipObject(*parent), avm1::Code{block, 0, uint32_t(block->size())});
      if (!c->display) break;
    }
  }
}

void Player::followDrag() {
  InputState& in = stage_.input;
  if (!in.dragged) return;
  Matrix rootToParent;
  if (!rootToParentSpace(*root_, *in.dragged, rootToParent)) {
    if (!onStage(in.dragged)) in.dragged = nullptr;
    return;
  }
  Point p = rootToParent.apply(in.mouse);
  double x = p.x + in.dragOffset.x, y = p.y + in.dragOffset.y;
  if (in.dragBounds) {
    x = std::clamp(x, in.dragBounds->xMin, std::max(in.dragBounds->xMin, in.dragBounds->xMax));
    y = std::clamp(y, in.dragBounds->yMin, std::max(in.dragBounds->yMin, in.dragBounds->yMax));
  }
  DisplayObject& object = *in.dragged;
  if (object.matrix.tx != x || object.matrix.ty != y) {
    object.matrix.tx = x;
    object.matrix.ty = y;
    inputChanged_ = true;
  }
}

bool Player::runInput(const std::function<void()>& handle) {
  if (!root_ || !vm_) return false;
  try {
    handle();
  } catch (avm1::ScriptAbort& abort) {
    vm_->warn(abort.reason);
  }
  initNewClips(*root_, nullptr, 0);
  runScripts();
  avm1::showBoundVariables(*vm_);
  return std::exchange(inputChanged_, false);
}

bool Player::mouseMove(double x, double y) {
  return runInput([&] {
    stage_.input.mouse = toMovie(x, y);
    pointer_.inView = true;
    followDrag();
    clipEventEverywhere(kMouseMove, "onMouseMove");
    broadcast("Mouse", "onMouseMove");
    updateHover();
  });
}

bool Player::mouseDown(double x, double y) {
  bool moved = mouseMove(x, y);
  return runInput([&] {
    stage_.input.mouseDown = true;
    clipEventEverywhere(kMouseDown, "onMouseDown");
    broadcast("Mouse", "onMouseDown");
    // The focus goes to the text field clicked, and leaves a field when the click is elsewhere.
    DisplayObject* target = pick(*root_, stage_.input.mouse, 0);
    if (!onStage(target)) target = nullptr;
    if (auto* field = dynamic_cast<EditTextObject*>(target)) {
      avm1::focusObject(*vm_, vm_->clipObject(*field));
      inputChanged_ = true;
    } else if (avm1::focusedField(*vm_)) {
      avm1::focusObject(*vm_, nullptr);
      inputChanged_ = true;
    }
    if (!onStage(pointer_.hovered)) pointer_.hovered = nullptr;
    if (pointer_.hovered) {
      pointer_.pressed = pointer_.hovered;
      pointer_.overPressed = true;
      transition(*pointer_.pressed, kPress);
    }
  }) || moved;
}

bool Player::mouseUp(double x, double y) {
  bool moved = mouseMove(x, y);
  return runInput([&] {
    stage_.input.mouseDown = false;
    clipEventEverywhere(kMouseUp, "onMouseUp");
    broadcast("Mouse", "onMouseUp");
    DisplayObject* pressed = std::exchange(pointer_.pressed, nullptr);
    if (pressed && onStage(pressed)) {
      pointer_.hovered = pointer_.overPressed ? pressed : nullptr;
      transition(*pressed, pointer_.overPressed ? kRelease : kReleaseOutside);
    }
    pointer_.overPressed = false;
    updateHover();
  }) || moved;
}

bool Player::mouseLeave() {
  return runInput([&] {
    pointer_.inView = false;
    updateHover();
  });
}

bool Player::keyDown(int keyCode, char16_t character) {
  return runInput([&] {
    InputState& in = stage_.input;
    if (keyCode >= 0 && keyCode < 256) in.keysDown.set(size_t(keyCode));
    if (keyCode == 20) in.capsLock = !in.capsLock;
    if (keyCode == 144) in.numLock = !in.numLock;
    in.lastKeyCode = keyCode;
    in.lastCharacter = character;
    if (avm1::typeIntoFocusedField(*vm_, keyCode, character)) inputChanged_ = true;
    clipEventEverywhere(kKeyDown, nullptr);
    broadcast("Key", "onKeyDown");
    if (int code = pressCode(keyCode, character); code > 0) {
      clipEventEverywhere(kKeyPress, nullptr, code);
      buttonKeyPress(code);
    }
  });
}

bool Player::keyUp(int keyCode) {
  return runInput([&] {
    InputState& in = stage_.input;
    if (keyCode >= 0 && keyCode < 256) in.keysDown.reset(size_t(keyCode));
    in.lastKeyCode = keyCode;
    clipEventEverywhere(kKeyUp, nullptr);
    broadcast("Key", "onKeyUp");
  });
}

Player::Cursor Player::cursor() {
  if (!root_ || !vm_) return Cursor::Arrow;
  if (stage_.input.cursorHidden) return Cursor::Hidden;
  DisplayObject* target = pointer_.pressed ? pointer_.pressed : pointer_.hovered;
  if (target && onStage(target)) {
    avm1::Value hand = vm_->get(vm_->clipObject(*target), "useHandCursor");
    return hand.type == avm1::Type::Boolean && !hand.boolean() ? Cursor::Arrow : Cursor::Hand;
  }
  if (pointer_.inView)
    if (auto* field = dynamic_cast<EditTextObject*>(pick(*root_, stage_.input.mouse, 0)))
      if (field->selectable || !field->readOnly) return Cursor::IBeam;
  return Cursor::Arrow;
}

}  // namespace vorlo::player
