#include <algorithm>
#include <cmath>

#include "player/avm1/input_api.h"
#include "player/avm1/natives.h"
#include "player/avm1/text.h"
#include "player/avm1/text_api.h"
#include "player/display/hit_test.h"

namespace vorlo::player::avm1 {

namespace {

InputState& input(Vm& vm) { return vm.stage().input; }

Value keyIsDown(Vm& vm, Value&, std::vector<Value>& args) {
  double code = vm.toNumber(arg(args, 0));
  return Value(code >= 0 && code < 256 && input(vm).keysDown.test(size_t(code)));
}
Value keyIsToggled(Vm& vm, Value&, std::vector<Value>& args) {
  double code = vm.toNumber(arg(args, 0));
  if (code == 20) return Value(input(vm).capsLock);
  if (code == 144) return Value(input(vm).numLock);
  return Value(false);
}
Value keyGetCode(Vm& vm, Value&, std::vector<Value>&) { return Value(double(input(vm).lastKeyCode)); }
Value keyGetAscii(Vm& vm, Value&, std::vector<Value>&) { return Value(double(input(vm).lastCharacter)); }

Value mouseShow(Vm& vm, Value&, std::vector<Value>&) {
  input(vm).cursorHidden = false;
  return Value(0.0);
}
Value mouseHide(Vm& vm, Value&, std::vector<Value>&) {
  input(vm).cursorHidden = true;
  return Value(0.0);
}

DisplayObject* selfDisplay(Value& self) {
  if (!self.isObject() || self.obj->kind != Kind::Clip) return nullptr;
  return static_cast<ClipObject*>(self.obj)->display;
}

// The object's bounds on the stage (twips), empty when it is not on the stage.
Rect stageBounds(Vm& vm, DisplayObject& d) {
  Matrix toRoot;
  if (!matrixToRoot(vm.rootClip(), d, toRoot)) return {};
  return toRoot.apply(d.bounds());
}

// hitTest(x, y[, shapeFlag]) with a point on the stage in pixels, or hitTest(target): whether the
// two objects' bounds on the stage meet.
Value clipHitTest(Vm& vm, Value& self, std::vector<Value>& args) {
  DisplayObject* d = selfDisplay(self);
  if (!d) return Value(false);
  if (args.size() >= 2) {
    Point p{vm.toNumber(args[0]) * 20, vm.toNumber(args[1]) * 20};
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return Value(false);
    if (args.size() >= 3 && vm.toBool(args[2])) {
      Matrix rootToParent;
      return Value(rootToParentSpace(vm.rootClip(), *d, rootToParent) && objectHits(*d, rootToParent.apply(p)));
    }
    Rect b = stageBounds(vm, *d);
    return Value(!b.empty() && p.x >= b.xMin && p.x <= b.xMax && p.y >= b.yMin && p.y <= b.yMax);
  }
  Value target = arg(args, 0);
  DisplayObject* other = nullptr;
  if (target.isObject() && target.obj->kind == Kind::Clip) {
    other = static_cast<ClipObject*>(target.obj)->display;
  } else if (target.type == Type::String) {
    Activation a(vm);
    a.target = a.base = static_cast<ClipObject*>(self.obj);
    Object* o = vm.resolvePath(a, target.str);
    if (o && o->kind == Kind::Clip) other = static_cast<ClipObject*>(o)->display;
  }
  if (!other) return Value(false);
  Rect a = stageBounds(vm, *d), b = stageBounds(vm, *other);
  return Value(!a.empty() && !b.empty() && a.xMin <= b.xMax && b.xMin <= a.xMax && a.yMin <= b.yMax &&
               b.yMin <= a.yMax);
}

// startDrag([lockCenter[, left, top, right, bottom]]): the clip follows the pointer, inside the
// rectangle (pixels of its parent's space) when one is given.
Value clipStartDrag(Vm& vm, Value& self, std::vector<Value>& args) {
  DisplayObject* d = selfDisplay(self);
  if (!d || d == &vm.rootClip()) return {};
  InputState& in = input(vm);
  Matrix rootToParent;
  if (!rootToParentSpace(vm.rootClip(), *d, rootToParent)) return {};
  in.dragged = d;
  if (vm.toBool(arg(args, 0))) {
    in.dragOffset = {};
  } else {
    Point p = rootToParent.apply(in.mouse);
    in.dragOffset = {d->matrix.tx - p.x, d->matrix.ty - p.y};
  }
  in.dragBounds.reset();
  if (args.size() >= 5) {
    double v[4];
    for (int i = 0; i < 4; ++i) v[i] = vm.toNumber(args[size_t(i) + 1]) * 20;
    if (std::all_of(v, v + 4, [](double x) { return std::isfinite(x); }))
      in.dragBounds = Rect{std::min(v[0], v[2]), std::min(v[1], v[3]), std::max(v[0], v[2]), std::max(v[1], v[3])};
  }
  return {};
}

Value clipStopDrag(Vm& vm, Value&, std::vector<Value>&) {
  input(vm).dragged = nullptr;
  input(vm).dragBounds.reset();
  return {};
}

// The restrict property's set: characters and ranges ("a-z"), "^" switching to characters that
// are not allowed, "\" taking the next character as it is.
bool restrictAllows(const std::u16string& set, char16_t c) {
  bool excluding = false, anyIncluded = false, included = false, excluded = false;
  for (size_t i = 0; i < set.size(); ++i) {
    char16_t from = set[i];
    if (from == u'^') {
      excluding = !excluding;
      continue;
    }
    if (from == u'\\' && i + 1 < set.size()) from = set[++i];
    char16_t to = from;
    if (i + 2 < set.size() && set[i + 1] == u'-') {
      to = set[i + 2];
      i += 2;
    }
    bool in = c >= from && c <= to;
    if (excluding) {
      excluded = excluded || in;
    } else {
      anyIncluded = true;
      included = included || in;
    }
  }
  // Only exclusions: everything else is allowed.
  return (!anyIncluded || included) && !excluded;
}

ClipObject* focusedClip(Vm& vm) {
  Value v = textState(vm, "focus");
  if (!v.isObject() || v.obj->kind != Kind::Clip) return nullptr;
  auto* c = static_cast<ClipObject*>(v.obj);
  return c->display ? c : nullptr;
}

double extraNumber(Vm& vm, Object* extras, const char* name, double fallback) {
  Value v = vm.get(extras, name);
  return v.isNumber() ? v.num : fallback;
}

}  // namespace

void installInput(Vm& vm, Object* global) {
  Value key = vm.get(global, "Key"), mouse = vm.get(global, "Mouse");
  if (key.isObject()) {
    method(vm, key.obj, "isDown", keyIsDown);
    method(vm, key.obj, "isToggled", keyIsToggled);
    method(vm, key.obj, "getCode", keyGetCode);
    method(vm, key.obj, "getAscii", keyGetAscii);
  }
  if (mouse.isObject()) {
    method(vm, mouse.obj, "show", mouseShow);
    method(vm, mouse.obj, "hide", mouseHide);
  }
  if (vm.clipProto) {
    method(vm, vm.clipProto, "hitTest", clipHitTest);
    method(vm, vm.clipProto, "startDrag", clipStartDrag);
    method(vm, vm.clipProto, "stopDrag", clipStopDrag);
  }
  method(vm, global, "startDrag", [](Vm& vm, Value&, std::vector<Value>& args) -> Value {
    // The global form takes the target first.
    if (args.empty()) return {};
    Value target = args[0];
    if (target.type == Type::String) {
      Activation a(vm);
      a.target = a.base = vm.runningBase ? vm.runningBase : vm.clipObject(vm.rootClip());
      Object* o = vm.resolvePath(a, target.str);
      target = o ? Value(o) : Value();
    }
    if (!target.isObject()) return {};
    std::vector<Value> rest(args.begin() + 1, args.end());
    return clipStartDrag(vm, target, rest);
  });
  method(vm, global, "stopDrag", clipStopDrag);
}

EditTextObject* focusedField(Vm& vm) {
  ClipObject* c = focusedClip(vm);
  return c ? dynamic_cast<EditTextObject*>(c->display) : nullptr;
}

bool typeIntoFocusedField(Vm& vm, int keyCode, char16_t character) {
  ClipObject* c = focusedClip(vm);
  auto* f = c ? dynamic_cast<EditTextObject*>(c->display) : nullptr;
  if (!f) return false;
  Object* extras = fieldExtras(vm, c, true);
  if (!extras) return false;
  std::u16string text = f->text();
  double size = double(text.size());
  size_t a = size_t(std::clamp(extraNumber(vm, extras, "selBegin", size), 0.0, size));
  size_t b = size_t(std::clamp(extraNumber(vm, extras, "selEnd", size), 0.0, size));
  size_t begin = std::min(a, b), end = std::max(a, b), caret = b;
  bool edited = false;
  std::u16string insert;
  switch (keyCode) {
    case 37: caret = begin == end ? (caret > 0 ? caret - 1 : 0) : begin; begin = end = caret; break;
    case 39: caret = begin == end ? std::min(text.size(), caret + 1) : end; begin = end = caret; break;
    case 36: begin = end = caret = 0; break;
    case 35: begin = end = caret = text.size(); break;
    case 8:
    case 46:
      if (f->readOnly) return false;
      if (begin == end) {
        if (keyCode == 8 && begin > 0) --begin;
        if (keyCode == 46 && end < text.size()) ++end;
      }
      edited = begin != end;
      break;
    default:
      if (f->readOnly) return false;
      if (character == u'\r' || character == u'\n') {
        if (!f->multiline) return false;
        insert = u"\r";
      } else if (character >= 0x20 && character != 0x7F) {
        if (f->restrict && !f->restrict->empty() && !restrictAllows(*f->restrict, character)) return false;
        insert.assign(1, character);
      } else {
        return false;
      }
      if (f->maxChars > 0 && text.size() - (end - begin) + insert.size() > size_t(f->maxChars)) return false;
      edited = true;
  }
  if (edited) {
    text.replace(begin, end - begin, insert);
    caret = begin + insert.size();
    begin = end = caret;
  }
  vm.set(extras, "selBegin", Value(double(begin)));
  vm.set(extras, "selEnd", Value(double(end)));
  if (!edited) return false;
  // Through the text property, so that a bound variable follows.
  Value self(static_cast<Object*>(c));
  vm.set(c, "text", Value(toUtf8(text)));
  Value handler = vm.get(c, "onChanged");
  if (handler.isObject() && handler.obj->kind == Kind::Function) vm.callMethod(self, "onChanged", {self});
  Value broadcaster = vm.get(c, "broadcastMessage");
  if (broadcaster.isObject() && broadcaster.obj->kind == Kind::Function)
    vm.callMethod(self, "broadcastMessage", {Value("onChanged"), self});
  return true;
}

}  // namespace vorlo::player::avm1
