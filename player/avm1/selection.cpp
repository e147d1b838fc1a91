// Selection: which object has the keyboard focus, changed by scripts (setFocus) and lost when the
// object is hidden or removed. Changes call onKillFocus on the old object, onSetFocus on the new
// one and broadcast onSetFocus(old, new) to Selection's listeners. A script's setFocus also moves
// the pointer's roll-over state to the focused object (Vm::onScriptFocus).
#include <cmath>

#include "player/avm1/input_api.h"
#include "player/avm1/text_api.h"

namespace vorlo::player::avm1 {

namespace {

ClipObject* focused(Vm& vm) {
  Value v = textState(vm, "focus");
  if (!v.isObject() || v.obj->kind != Kind::Clip) return nullptr;
  auto* c = static_cast<ClipObject*>(v.obj);
  return c->display ? c : nullptr;
}

Value focusValue(ClipObject* c) { return c ? Value(static_cast<Object*>(c)) : Value::null(); }

void changeFocus(Vm& vm, ClipObject* to) {
  ClipObject* from = focused(vm);
  if (from == to) return;
  setTextState(vm, "focus", focusValue(to));
  if (from)
    if (auto* f = dynamic_cast<EditTextObject*>(from->display)) f->focused = false;
  if (to)
    if (auto* f = dynamic_cast<EditTextObject*>(to->display)) f->focused = true;
  auto call = [&](ClipObject* target, const char* method, std::vector<Value> args) {
    if (!target) return;
    Value fn = vm.get(target, method);
    if (fn.isObject() && fn.obj->kind == Kind::Function) vm.callMethod(Value(static_cast<Object*>(target)), method, args);
  };
  call(from, "onKillFocus", {focusValue(to)});
  call(to, "onSetFocus", {focusValue(from)});
  Value selection = textState(vm, "Selection");
  if (selection.isObject())
    vm.callMethod(selection, "broadcastMessage", {Value("onSetFocus"), focusValue(from), focusValue(to)});
}

Value getFocus(Vm& vm, Value&, std::vector<Value>&) {
  ClipObject* c = focused(vm);
  return c ? Value(vm.targetPath(*c->display)) : Value::null();
}

Value setFocus(Vm& vm, Value&, std::vector<Value>& args) {
  const Value& v = textArg(args, 0);
  if (v.isNullish()) {
    changeFocus(vm, nullptr);
    if (vm.onScriptFocus) vm.onScriptFocus(nullptr);
    return Value(true);
  }
  Object* target = nullptr;
  if (v.isObject()) {
    target = v.obj;
  } else {
    Activation a(vm);
    a.target = a.base = vm.clipObject(vm.rootClip());
    target = vm.resolvePath(a, vm.toString(v));
  }
  if (!target || target->kind != Kind::Clip) return Value(false);
  auto* c = static_cast<ClipObject*>(target);
  if (!c->display || !c->display->visible) return Value(false);
  changeFocus(vm, c);
  if (vm.onScriptFocus && c->display) vm.onScriptFocus(c->display);
  return Value(true);
}

// The selection of the focused field: [begin, end) and the caret, or -1 without a focused field.
Value selectionIndex(Vm& vm, const char* which) {
  ClipObject* c = focused(vm);
  if (!c || !dynamic_cast<EditTextObject*>(c->display)) return Value(-1.0);
  Object* extras = fieldExtras(vm, c, false);
  Value v = extras ? vm.get(extras, which) : Value();
  return v.isNumber() ? v : Value(0.0);
}
Value getBeginIndex(Vm& vm, Value&, std::vector<Value>&) { return selectionIndex(vm, "selBegin"); }
Value getEndIndex(Vm& vm, Value&, std::vector<Value>&) { return selectionIndex(vm, "selEnd"); }
Value getCaretIndex(Vm& vm, Value&, std::vector<Value>&) { return selectionIndex(vm, "selEnd"); }

Value setSelection(Vm& vm, Value&, std::vector<Value>& args) {
  ClipObject* c = focused(vm);
  auto* f = c ? dynamic_cast<EditTextObject*>(c->display) : nullptr;
  if (!f) return {};
  double n = double(f->text().size());
  auto index = [&](size_t i) {
    double v = vm.toNumber(textArg(args, i));
    return std::isfinite(v) ? std::clamp(std::trunc(v), 0.0, n) : 0.0;
  };
  double b = index(0), e = index(1);
  if (e < b) std::swap(b, e);
  Object* extras = fieldExtras(vm, c, true);
  vm.set(extras, "selBegin", Value(b));
  vm.set(extras, "selEnd", Value(e));
  return {};
}

}  // namespace

void focusLost(Vm& vm, Object* object) {
  ClipObject* c = focused(vm);
  if (c && c == object) changeFocus(vm, nullptr);
}

void installSelection(Vm& vm, Object* global) {
  Value selection = vm.get(global, "Selection");
  if (!selection.isObject()) return;
  setTextState(vm, "Selection", selection);
  Object* s = selection.obj;
  textMethod(vm, s, "getFocus", getFocus);
  textMethod(vm, s, "setFocus", setFocus);
  textMethod(vm, s, "getBeginIndex", getBeginIndex);
  textMethod(vm, s, "getEndIndex", getEndIndex);
  textMethod(vm, s, "getCaretIndex", getCaretIndex);
  textMethod(vm, s, "setSelection", setSelection);
}

void focusObject(Vm& vm, ClipObject* to) { changeFocus(vm, to); }

}  // namespace vorlo::player::avm1
