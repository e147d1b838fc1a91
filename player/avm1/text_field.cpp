// TextField: the script object of a text field. Its properties are accessors on TextField.prototype
// (a plain object made with `new TextField()` answers undefined through them); MovieClip gains
// createTextField. A field bound to a variable shows that variable's value and sets it.
#include <algorithm>
#include <cmath>

#include "player/avm1/text.h"
#include "player/avm1/text_api.h"

namespace vorlo::player::avm1 {

// ---- Shared helpers ----

Value textState(Vm& vm, const char* name) { return vm.textState ? vm.get(vm.textState, name) : Value(); }

void setTextState(Vm& vm, const char* name, const Value& v) {
  if (!vm.textState) {
    vm.textState = vm.make<Object>();  // bare: no prototype
  }
  vm.defineOwn(vm.textState, name, v);
}

Object* textProto(Vm& vm, const char* name) {
  Value v = textState(vm, name);
  return v.isObject() ? v.obj : nullptr;
}

void textMethod(Vm& vm, Object* o, const char* name, NativeFn fn) {
  vm.defineOwn(o, name, Value(static_cast<Object*>(vm.newNative(fn))), kDontEnum);
}

void textAccessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set, uint8_t flags,
                  uint8_t minVersion) {
  Function* g = vm.newNative(get);
  Function* s = set ? vm.newNative(set) : nullptr;
  std::string k = vm.key(name);
  auto it = o->index.find(k);
  Property p{name, Value(), g, s, flags, minVersion};
  if (it != o->index.end()) {
    o->props[it->second] = p;
    return;
  }
  o->index.emplace(k, uint32_t(o->props.size()));
  o->props.push_back(p);
}

Object* fieldExtras(Vm& vm, Object* field, bool create) {
  Property* p = field->own(vm.key("__textExtras"));
  if (p && p->value.isObject()) return p->value.obj;
  if (!create) return nullptr;
  Object* o = vm.newObject();
  vm.defineOwn(field, "__textExtras", Value(o), kDontEnum | kDontDelete);
  return o;
}

EditTextObject* fieldOf(const Value& v) {
  if (!v.isObject() || v.obj->kind != Kind::Clip) return nullptr;
  return dynamic_cast<EditTextObject*>(static_cast<ClipObject*>(v.obj)->display);
}

namespace {

constexpr size_t kMaxFieldText = size_t(1) << 24;  // UTF-16 units a field holds

Object* extras(Vm& vm, const Value& self, bool create) {
  return self.isObject() ? fieldExtras(vm, self.obj, create) : nullptr;
}

Value extra(Vm& vm, const Value& self, const char* name) {
  Object* o = extras(vm, self, false);
  return o ? vm.get(o, name) : Value();
}

void setExtra(Vm& vm, const Value& self, const char* name, const Value& v) {
  if (Object* o = extras(vm, self, true)) vm.set(o, name, v);
}

std::u16string fieldText(Vm& vm, const Value& v) {
  std::u16string s = toUtf16(vm.toString(v));
  if (s.size() > kMaxFieldText) s.resize(kMaxFieldText);
  return s;
}

// The timeline that holds a bound variable's name, and the name in it ("a.b:c", "/a:c", "c").
struct VariableRef {
  Object* holder = nullptr;
  std::string name;
};

VariableRef boundVariable(Vm& vm, ClipObject& field, const std::string& path) {
  VariableRef ref;
  if (path.empty() || !field.display) return ref;
  DisplayObject* parent = vm.parentOf(*field.display);
  if (!parent) return ref;
  Activation a(vm);
  a.target = a.base = vm.clipObject(*parent);
  size_t colon = path.find_last_of(":.");
  if (colon == std::string::npos) {
    ref.holder = a.target;
    ref.name = path;
  } else {
    ref.holder = vm.resolvePath(a, path.substr(0, colon));
    ref.name = path.substr(colon + 1);
  }
  return ref;
}

// A bound field shows its variable: read it before the text is given out.
void syncFromVariable(Vm& vm, const Value& self, EditTextObject& f) {
  if (f.variable.empty()) return;
  auto* clip = static_cast<ClipObject*>(self.obj);
  VariableRef ref = boundVariable(vm, *clip, f.variable);
  if (!ref.holder || ref.name.empty()) return;
  bool found = false;
  Value v = vm.lookup(ref.holder, ref.name, &found, nullptr, Value(ref.holder));
  if (!found) return;
  std::u16string text = fieldText(vm, v);
  if (text == f.text()) return;
  if (f.html) f.setHtmlText(text);
  else f.setText(text);
}

void showBoundVariablesIn(Vm& vm, DisplayObject& d, int depth) {
  if (auto* f = dynamic_cast<EditTextObject*>(&d); f && !f->variable.empty()) {
    Value self(static_cast<Object*>(vm.clipObject(d)));
    VariableRef ref = boundVariable(vm, *static_cast<ClipObject*>(self.obj), f->variable);
    if (ref.holder && !ref.name.empty()) {
      bool found = false;
      vm.lookup(ref.holder, ref.name, &found, nullptr, Value(ref.holder));
      // A variable that does not exist yet starts with the field's text.
      if (!found) vm.set(ref.holder, ref.name, Value(toUtf8(f->text())));
      else syncFromVariable(vm, self, *f);
    }
  }
  const DisplayList* list = d.children();
  if (!list || depth >= StageContext::kMaxNesting) return;
  std::vector<DisplayObject*> children;
  for (auto& [k, child] : *list) children.push_back(child.get());
  for (DisplayObject* child : children) showBoundVariablesIn(vm, *child, depth + 1);
}

void syncToVariable(Vm& vm, const Value& self, EditTextObject& f) {
  if (f.variable.empty()) return;
  VariableRef ref = boundVariable(vm, *static_cast<ClipObject*>(self.obj), f.variable);
  if (ref.holder && !ref.name.empty()) vm.set(ref.holder, ref.name, Value(toUtf8(f.text())));
}

// ---- Accessors ----

#define FIELD_OR_UNDEFINED             \
  EditTextObject* f = fieldOf(self);   \
  if (!f) return {};

uint32_t rgbOf(Rgba c) { return uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b; }
Rgba rgba(uint32_t v) { return Rgba{uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v), 255}; }

Value getText(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  syncFromVariable(vm, self, *f);
  return Value(toUtf8(f->text()));
}
Value setText(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  f->setText(fieldText(vm, textArg(args, 0)));
  syncToVariable(vm, self, *f);
  return {};
}
Value getHtmlText(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  syncFromVariable(vm, self, *f);
  return Value(toUtf8(writeFieldHtml(f->content(), vm.version)));
}
Value setHtmlText(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  std::u16string s = fieldText(vm, textArg(args, 0));
  if (f->html) f->setHtmlText(s);
  else f->setText(s);
  syncToVariable(vm, self, *f);
  return {};
}

template <bool EditTextObject::*M>
Value getFlag(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(f->*M);
}
template <bool EditTextObject::*M>
Value setFlag(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  f->*M = vm.toBool(textArg(args, 0));
  f->fitToText();
  return {};
}

template <Rgba EditTextObject::*M>
Value getColor(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(rgbOf(f->*M)));
}
template <Rgba EditTextObject::*M>
Value setColor(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  f->*M = rgba(toUint32(vm.toNumber(textArg(args, 0))));
  return {};
}

Value getTextColor(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  TextFormat first = f->text().empty() ? f->newFormat : f->formatOf(0, 1);
  return Value(double(first.color.value_or(0)));
}
Value setTextColor(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  TextFormat change;
  change.color = toUint32(vm.toNumber(textArg(args, 0))) & 0xFFFFFF;
  f->applyFormat(0, f->text().size(), change);
  f->newFormat.apply(change);
  return {};
}

Value getAutoSize(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  static const char* const kNames[] = {"none", "left", "right", "center"};
  return Value(kNames[int(f->autoSize)]);
}
Value setAutoSize(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  const Value& v = textArg(args, 0);
  AutoSize a = AutoSize::None;
  if (v.type == Type::Boolean) {
    a = v.boolean() ? AutoSize::Left : AutoSize::None;
  } else {
    std::string s = vm.toString(v);
    if (s == "left") a = AutoSize::Left;
    else if (s == "right") a = AutoSize::Right;
    else if (s == "center") a = AutoSize::Center;
  }
  f->autoSize = a;
  f->fitToText();
  return {};
}

Value getType(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(f->readOnly ? "dynamic" : "input");
}
Value setType(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  std::string s = vm.toString(textArg(args, 0));
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  if (s == "input") f->readOnly = false;
  if (s == "dynamic") f->readOnly = true;
  return {};
}

Value getVariable(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return f->variable.empty() ? Value::null() : Value(f->variable);
}
Value setVariable(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  const Value& v = textArg(args, 0);
  f->variable = v.isNullish() ? std::string() : vm.toString(v);
  syncFromVariable(vm, self, *f);
  return {};
}

Value getMaxChars(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return f->maxChars > 0 ? Value(double(f->maxChars)) : Value::null();
}
Value setMaxChars(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  const Value& v = textArg(args, 0);
  double n = v.isNullish() ? 0 : vm.toNumber(v);
  f->maxChars = std::isfinite(n) && n > 0 ? toInt32(n) : 0;
  return {};
}

Value getLength(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  syncFromVariable(vm, self, *f);
  return Value(double(f->text().size()));
}

Value getScroll(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(f->scroll));
}
Value setScroll(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  double n = vm.toNumber(textArg(args, 0));
  if (std::isfinite(n)) f->scroll = std::clamp(int(n), 1, std::max(1, f->lineCount()));
  return {};
}
Value getMaxScroll(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(std::max(1, f->lineCount())));
}
Value getBottomScroll(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(std::max(1, std::min(f->lineCount(), f->scroll))));
}
// Pixels the text reaches past the field's width (wrapped text never does).
int maxHScroll(const EditTextObject& f) {
  if (f.wordWrap) return 0;
  double room = f.bounds().xMax - f.bounds().xMin - 80;
  return int(std::clamp(std::floor((f.textWidth() - room) / 20), 0.0, 1e6));
}

Value getHScroll(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(f->hscroll));
}
Value setHScroll(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  double n = vm.toNumber(textArg(args, 0));
  if (std::isfinite(n)) f->hscroll = std::clamp(int(n), 0, maxHScroll(*f));
  return {};
}
Value getMaxHScroll(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(double(maxHScroll(*f)));
}

Value getTextWidth(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  syncFromVariable(vm, self, *f);
  return Value(std::round(f->textWidth() / 20));
}
Value getTextHeight(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  syncFromVariable(vm, self, *f);
  return Value(std::round(f->textHeight() / 20));
}

Value getRestrict(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return f->restrict ? Value(toUtf8(*f->restrict)) : Value::null();
}
Value setRestrict(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  const Value& v = textArg(args, 0);
  if (v.isNullish()) f->restrict.reset();
  else f->restrict = fieldText(vm, v);
  return {};
}

template <const char* Name>
Value getExtra(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return extra(vm, self, Name);
}
template <const char* Name>
Value setExtra(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  setExtra(vm, self, Name, textArg(args, 0));
  return {};
}
constexpr char kTabIndex[] = "tabIndex";
constexpr char kStyleSheet[] = "styleSheet";

Value getFilters(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  Value stored = extra(vm, self, "filters");
  std::vector<Value> items;
  if (stored.isObject() && stored.obj->kind == Kind::Array) items = static_cast<ArrayObject*>(stored.obj)->items;
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}
Value setFilters(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  const Value& v = textArg(args, 0);
  std::vector<Value> items;
  if (v.isObject() && v.obj->kind == Kind::Array)
    for (const Value& item : static_cast<ArrayObject*>(v.obj)->items)
      if (item.isObject()) items.push_back(item);
  setExtra(vm, self, "filters", Value(static_cast<Object*>(vm.newArray(std::move(items)))));
  return {};
}

Value getAntiAlias(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(f->antiAliasType);
}
Value setAntiAlias(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  std::string s = vm.toString(textArg(args, 0));
  if (s == "normal" || s == "advanced") f->antiAliasType = s;
  return {};
}
Value getGridFit(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(f->gridFitType);
}
Value setGridFit(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  std::string s = vm.toString(textArg(args, 0));
  if (s == "none" || s == "pixel" || s == "subpixel") f->gridFitType = s;
  return {};
}
template <double EditTextObject::*M>
Value getNumber(Vm&, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(f->*M);
}
template <double EditTextObject::*M>
Value setNumber(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  f->*M = vm.toNumber(textArg(args, 0));
  return {};
}

// ---- Methods ----

// The range [begin, end) that getTextFormat and setTextFormat take from their first arguments.
void rangeOf(Vm& vm, const std::vector<Value>& args, size_t count, size_t length, size_t* begin, size_t* end) {
  auto index = [&](const Value& v) {
    double n = vm.toNumber(v);
    if (!std::isfinite(n) || n < 0) return size_t(0);
    return std::min(size_t(n), length);
  };
  *begin = 0;
  *end = length;
  if (count >= 1 && !textArg(args, 0).isUndefined()) {
    double n = vm.toNumber(textArg(args, 0));
    if (!(n >= 0)) return;
    *begin = index(args[0]);
    *end = std::min(length, *begin + 1);
  }
  if (count >= 2 && !textArg(args, 1).isUndefined()) *end = std::max(*begin, index(args[1]));
}

Value getTextFormatFn(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  size_t begin, end;
  rangeOf(vm, args, args.size(), f->text().size(), &begin, &end);
  return Value(newTextFormatObject(vm, f->formatOf(begin, end)));
}

Value setTextFormatFn(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  if (args.empty()) return {};
  // The format is the last argument; the numbers before it give the range.
  size_t n = std::min<size_t>(args.size() - 1, 2);
  const Value& formatArg = args[n];
  if (!formatArg.isObject()) return {};
  size_t begin, end;
  rangeOf(vm, args, n, f->text().size(), &begin, &end);
  f->applyFormat(begin, end, textFormatOf(formatArg));
  return {};
}

Value getNewTextFormat(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  return Value(newTextFormatObject(vm, f->newFormat));
}
Value setNewTextFormat(Vm&, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  if (textArg(args, 0).isObject()) f->newFormat.apply(textFormatOf(args[0]));
  return {};
}

Value replaceSel(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  if (args.empty()) return {};
  Value b = extra(vm, self, "selBegin"), e = extra(vm, self, "selEnd");
  size_t n = f->text().size();
  size_t begin = b.isNumber() ? std::min(size_t(std::max(0.0, b.num)), n) : n;
  size_t end = e.isNumber() ? std::min(size_t(std::max(0.0, e.num)), n) : n;
  std::u16string s = fieldText(vm, args[0]);
  TextFormat format = f->newFormat;
  f->replace(begin, std::max(begin, end), s, format);
  setExtra(vm, self, "selBegin", Value(double(begin + s.size())));
  setExtra(vm, self, "selEnd", Value(double(begin + s.size())));
  syncToVariable(vm, self, *f);
  return {};
}

Value replaceText(Vm& vm, Value& self, std::vector<Value>& args) {
  FIELD_OR_UNDEFINED
  if (args.size() < 3) return {};
  double b = vm.toNumber(args[0]), e = vm.toNumber(args[1]);
  size_t n = f->text().size();
  if (!(b >= 0) || !(e >= b)) return {};
  size_t begin = std::min(size_t(std::min(b, double(n))), n), end = std::min(size_t(std::min(e, double(n))), n);
  TextFormat format = f->newFormat;
  if (begin < n) format.apply(f->formatOf(begin, begin + 1));
  f->replace(begin, end, fieldText(vm, args[2]), format);
  syncToVariable(vm, self, *f);
  return {};
}

Value removeTextField(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  int depth = 0;
  DisplayObject* parent = vm.parentOf(*f, &depth);
  auto* parentClip = dynamic_cast<MovieClip*>(parent);
  if (!parentClip || depth < 0 || depth >= 16384 + 1048576) return {};
  focusLost(vm, self.obj);
  parentClip->mutableChildren().erase(depth);
  return {};
}

Value fieldGetDepth(Vm& vm, Value& self, std::vector<Value>&) {
  FIELD_OR_UNDEFINED
  int depth = 0;
  if (!vm.parentOf(*f, &depth)) return {};
  return Value(double(depth - 16384));
}

Value getFontList(Vm& vm, Value&, std::vector<Value>&) {
  std::vector<Value> names;
  if (const Movie* m = vm.stage().movie)
    for (const auto& [id, ch] : m->characters)
      if (const Font* font = std::get_if<Font>(ch.get()))
        if (!font->name.empty()) names.push_back(Value(font->name));
  for (const char* device : {"_sans", "_serif", "_typewriter", "Times New Roman", "Arial", "Courier New"})
    names.push_back(Value(device));
  return Value(static_cast<Object*>(vm.newArray(std::move(names))));
}

// createTextField(name, depth, x, y, width, height): an empty field at (x, y), its bounds
// (0, 0, width, height) in its own space.
Value createTextField(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || self.obj->kind != Kind::Clip || args.size() < 6 || !vm.stage().movie) return {};
  auto* parent = static_cast<ClipObject*>(self.obj)->clip();
  if (!parent) return {};
  double depth = vm.toNumber(args[1]);
  if (!std::isfinite(depth)) return {};
  auto coord = [&](size_t i) {
    double n = vm.toNumber(args[i]);
    return std::isfinite(n) ? std::clamp(std::round(n * 20), -1e9, 1e9) : 0.0;
  };
  double x = coord(2), y = coord(3), w = std::max(0.0, coord(4)), h = std::max(0.0, coord(5));
  auto field = std::make_unique<EditTextObject>(*vm.stage().movie, Rect{0, 0, w, h});
  field->matrix.tx = x;
  field->matrix.ty = y;
  field->name = vm.toString(args[0]);
  int d = int(std::clamp(depth, -16384.0, 2130690045.0)) + 16384;
  DisplayObject* raw = field.get();
  parent->mutableChildren()[d] = std::move(field);
  Value made(static_cast<Object*>(vm.clipObject(*raw)));
  return vm.version >= 8 ? made : Value();
}

Value textFieldCall(Vm&, Value&, std::vector<Value>&) { return {}; }
Value nothingFn(Vm&, Value&, std::vector<Value>&) { return {}; }

struct AccessorDef {
  const char* name;
  NativeFn get;
  NativeFn set;
  bool swf8 = false;  // an accessor from SWF 8 on, a plain property before
};

// Defined oldest first: enumeration gives them newest first.
const AccessorDef kAccessors[] = {
    {"gridFitType", getGridFit, setGridFit, true},
    {"antiAliasType", getAntiAlias, setAntiAlias, true},
    {"thickness", getNumber<&EditTextObject::thickness>, setNumber<&EditTextObject::thickness>, true},
    {"sharpness", getNumber<&EditTextObject::sharpness>, setNumber<&EditTextObject::sharpness>, true},
    {"filters", getFilters, setFilters, true},
    {"scroll", getScroll, setScroll},
    {"maxscroll", getMaxScroll, nothingFn},
    {"borderColor", getColor<&EditTextObject::borderColor>, setColor<&EditTextObject::borderColor>},
    {"backgroundColor", getColor<&EditTextObject::backgroundColor>, setColor<&EditTextObject::backgroundColor>},
    {"textColor", getTextColor, setTextColor},
    {"tabIndex", getExtra<kTabIndex>, setExtra<kTabIndex>},
    {"autoSize", getAutoSize, setAutoSize},
    {"text", getText, setText},
    {"type", getType, setType},
    {"htmlText", getHtmlText, setHtmlText},
    {"variable", getVariable, setVariable},
    {"hscroll", getHScroll, setHScroll},
    {"maxhscroll", getMaxHScroll, nothingFn},
    {"maxChars", getMaxChars, setMaxChars},
    {"embedFonts", getFlag<&EditTextObject::embedFonts>, setFlag<&EditTextObject::embedFonts>},
    {"html", getFlag<&EditTextObject::html>, setFlag<&EditTextObject::html>},
    {"border", getFlag<&EditTextObject::border>, setFlag<&EditTextObject::border>},
    {"background", getFlag<&EditTextObject::background>, setFlag<&EditTextObject::background>},
    {"wordWrap", getFlag<&EditTextObject::wordWrap>, setFlag<&EditTextObject::wordWrap>},
    {"password", getFlag<&EditTextObject::password>, setFlag<&EditTextObject::password>},
    {"multiline", getFlag<&EditTextObject::multiline>, setFlag<&EditTextObject::multiline>},
    {"selectable", getFlag<&EditTextObject::selectable>, setFlag<&EditTextObject::selectable>},
    {"length", getLength, nothingFn},
    {"bottomScroll", getBottomScroll, nothingFn},
    {"textWidth", getTextWidth, nothingFn},
    {"textHeight", getTextHeight, nothingFn},
    {"restrict", getRestrict, setRestrict},
    {"condenseWhite", getFlag<&EditTextObject::condenseWhite>, setFlag<&EditTextObject::condenseWhite>},
    {"mouseWheelEnabled", getFlag<&EditTextObject::mouseWheelEnabled>, setFlag<&EditTextObject::mouseWheelEnabled>},
    {"styleSheet", getExtra<kStyleSheet>, setExtra<kStyleSheet>},
};

}  // namespace

void installTextField(Vm& vm, Object* global) {
  Object* proto = vm.textFieldProto;
  if (!proto) return;
  Value ctorV = vm.get(global, "TextField");
  if (ctorV.isObject()) {
    textMethod(vm, ctorV.obj, "getFontList", getFontList);
    installStyleSheet(vm, ctorV.obj);
  }
  for (const AccessorDef& a : kAccessors) {
    if (a.swf8 && vm.version < 8) vm.defineOwn(proto, a.name, Value());
    else textAccessor(vm, proto, a.name, a.get, a.set);
  }
  textMethod(vm, proto, "replaceSel", replaceSel);
  textMethod(vm, proto, "getTextFormat", getTextFormatFn);
  textMethod(vm, proto, "setTextFormat", setTextFormatFn);
  textMethod(vm, proto, "removeTextField", removeTextField);
  textMethod(vm, proto, "getNewTextFormat", getNewTextFormat);
  textMethod(vm, proto, "setNewTextFormat", setNewTextFormat);
  textMethod(vm, proto, "getDepth", fieldGetDepth);
  if (vm.version >= 7) textMethod(vm, proto, "replaceText", replaceText);
  if (vm.clipProto) textMethod(vm, vm.clipProto, "createTextField", createTextField);
  (void)textFieldCall;
}

void showBoundVariables(Vm& vm) {
  try {
    showBoundVariablesIn(vm, vm.rootClip(), 0);
  } catch (ScriptThrow&) {
  } catch (ScriptAbort& abort) {
    vm.warn(abort.reason);
  }
}

void installText(Vm& vm, Object* global) {
  installTextFormat(vm, global);
  installTextField(vm, global);
  installSelection(vm, global);
  installTextSnapshot(vm, global);
}

}  // namespace vorlo::player::avm1
