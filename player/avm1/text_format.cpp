// TextFormat: a format with every field optional (null when unset), read and written through
// accessors on the prototype. The constructor truncates its numbers; the accessors round them
// (halves to even) and keep margins from going below zero. getTextExtent measures a text.
#include <cmath>
#include <limits>

#include "player/avm1/text.h"
#include "player/avm1/text_api.h"

namespace vorlo::player::avm1 {

namespace {

class TextFormatObject : public Object {
 public:
  TextFormat format;
  std::string display = "block";
};

TextFormatObject* formatObject(const Value& v) {
  return v.isObject() ? dynamic_cast<TextFormatObject*>(v.obj) : nullptr;
}

constexpr size_t kMaxFontName = 64;  // UTF-16 units a font name keeps

enum class FieldKind : uint8_t { Text, Number, Margin, Color, Flag, Align, TabStops };

struct FieldDef {
  const char* name;
  FieldKind kind;
  std::optional<std::string> TextFormat::*text = nullptr;
  std::optional<double> TextFormat::*number = nullptr;
  std::optional<bool> TextFormat::*flag = nullptr;
};

// In the order the accessors are defined (enumeration shows them newest first).
const FieldDef kFields[] = {
    {"font", FieldKind::Text, &TextFormat::font},
    {"size", FieldKind::Number, nullptr, &TextFormat::size},
    {"color", FieldKind::Color},
    {"url", FieldKind::Text, &TextFormat::url},
    {"target", FieldKind::Text, &TextFormat::target},
    {"bold", FieldKind::Flag, nullptr, nullptr, &TextFormat::bold},
    {"italic", FieldKind::Flag, nullptr, nullptr, &TextFormat::italic},
    {"underline", FieldKind::Flag, nullptr, nullptr, &TextFormat::underline},
    {"align", FieldKind::Align},
    {"leftMargin", FieldKind::Margin, nullptr, &TextFormat::leftMargin},
    {"rightMargin", FieldKind::Margin, nullptr, &TextFormat::rightMargin},
    {"indent", FieldKind::Number, nullptr, &TextFormat::indent},
    {"leading", FieldKind::Number, nullptr, &TextFormat::leading},
    {"blockIndent", FieldKind::Number, nullptr, &TextFormat::blockIndent},
    {"tabStops", FieldKind::TabStops},
    {"bullet", FieldKind::Flag, nullptr, nullptr, &TextFormat::bullet},
    {"kerning", FieldKind::Flag, nullptr, nullptr, &TextFormat::kerning},
    {"letterSpacing", FieldKind::Number, nullptr, &TextFormat::letterSpacing},
};

std::string fontName(Vm& vm, const Value& v) {
  std::u16string s = toUtf16(vm.toString(v));
  if (s.size() > kMaxFontName) s.resize(kMaxFontName);
  return toUtf8(s);
}

// Stores `v` in field `f`; `construct` truncates numbers (the constructor) instead of rounding.
void store(Vm& vm, TextFormat& t, const FieldDef& f, const Value& v, bool construct) {
  bool unset = v.isNullish();
  switch (f.kind) {
    case FieldKind::Text:
      if (unset) (t.*f.text).reset();
      else t.*f.text = f.text == &TextFormat::font ? fontName(vm, v) : vm.toString(v);
      break;
    case FieldKind::Number:
    case FieldKind::Margin: {
      if (unset) {
        (t.*f.number).reset();
        break;
      }
      double n = vm.toNumber(v);
      if (std::isnan(n)) n = 0;
      n = construct ? double(toInt32(n)) : std::nearbyint(std::clamp(n, -2147483648.0, 2147483647.0));
      if (!construct && f.kind == FieldKind::Margin) n = std::max(n, 0.0);
      t.*f.number = n;
      break;
    }
    case FieldKind::Color:
      if (unset) t.color.reset();
      else t.color = toUint32(vm.toNumber(v));
      break;
    case FieldKind::Flag:
      if (unset) (t.*f.flag).reset();
      else t.*f.flag = vm.toBool(v);
      break;
    case FieldKind::Align:
      if (unset) {
        if (construct) t.align.reset();
      } else if (auto a = alignFromName(vm.toString(v))) {
        t.align = *a;
      } else if (construct) {
        t.align.reset();
      }
      break;
    case FieldKind::TabStops: {
      if (unset || !v.isObject() || v.obj->kind != Kind::Array) {
        t.tabStops.reset();
        break;
      }
      std::vector<double> stops;
      for (const Value& item : static_cast<ArrayObject*>(v.obj)->items) {
        double n = vm.toNumber(item);
        stops.push_back(std::isfinite(n) ? double(toInt32(n)) : 0);
        if (stops.size() >= 1024) break;
      }
      t.tabStops = std::move(stops);
      break;
    }
  }
}

Value load(Vm& vm, const TextFormat& t, const FieldDef& f) {
  switch (f.kind) {
    case FieldKind::Text: return t.*f.text ? Value(*(t.*f.text)) : Value::null();
    case FieldKind::Number:
    case FieldKind::Margin: return t.*f.number ? Value(*(t.*f.number)) : Value::null();
    case FieldKind::Color: return t.color ? Value(double(*t.color)) : Value::null();
    case FieldKind::Flag: return t.*f.flag ? Value(*(t.*f.flag)) : Value::null();
    case FieldKind::Align: return t.align ? Value(alignName(*t.align)) : Value::null();
    case FieldKind::TabStops: {
      if (!t.tabStops) return Value::null();
      std::vector<Value> items;
      for (double d : *t.tabStops) items.push_back(Value(d));
      return Value(static_cast<Object*>(vm.newArray(std::move(items))));
    }
  }
  return {};
}

// One getter and one setter per field: the field is found by the accessor's name, which the
// native function reads from the property table through its index.
template <size_t I>
Value getField(Vm& vm, Value& self, std::vector<Value>&) {
  TextFormatObject* o = formatObject(self);
  return o ? load(vm, o->format, kFields[I]) : Value();
}
template <size_t I>
Value setField(Vm& vm, Value& self, std::vector<Value>& args) {
  if (TextFormatObject* o = formatObject(self)) store(vm, o->format, kFields[I], textArg(args, 0), false);
  return {};
}

template <size_t... I>
void defineFields(Vm& vm, Object* proto, std::index_sequence<I...>) {
  (textAccessor(vm, proto, kFields[I].name, getField<I>, setField<I>), ...);
}

Value getDisplay(Vm&, Value& self, std::vector<Value>&) {
  TextFormatObject* o = formatObject(self);
  return o ? Value(o->display) : Value();
}
Value setDisplay(Vm& vm, Value& self, std::vector<Value>& args) {
  TextFormatObject* o = formatObject(self);
  if (!o) return {};
  std::string d = textArg(args, 0).isString() ? textArg(args, 0).str : std::string();
  o->display = d == "inline" || d == "none" ? d : "block";
  (void)vm;
  return {};
}

Value textFormatConstruct(Vm& vm, Value&, std::vector<Value>& args) {
  auto* o = vm.make<TextFormatObject>();
  o->proto = textProto(vm, "TextFormat");
  // new TextFormat(font, size, color, bold, italic, underline, url, target, align, leftMargin,
  // rightMargin, indent, leading)
  static const char* const kOrder[] = {"font", "size", "color", "bold", "italic", "underline", "url",
                                       "target", "align", "leftMargin", "rightMargin", "indent", "leading"};
  for (size_t i = 0; i < std::size(kOrder); ++i)
    for (const FieldDef& f : kFields)
      if (std::string_view(f.name) == kOrder[i]) store(vm, o->format, f, textArg(args, i), true);
  return Value(static_cast<Object*>(o));
}

Value textFormatCall(Vm&, Value&, std::vector<Value>&) { return {}; }

// getTextExtent(text, [width]): the text's size in this format, as a field would lay it out.
Value getTextExtent(Vm& vm, Value& self, std::vector<Value>& args) {
  TextFormatObject* o = formatObject(self);
  if (!o || args.empty() || !vm.stage().movie) return {};
  EditTextObject field(*vm.stage().movie, Rect{0, 0, 0, 0});
  TextFormat f = field.newFormat;
  f.apply(o->format);
  field.newFormat = f;
  double width = textArg(args, 1).isUndefined() ? 0 : vm.toNumber(textArg(args, 1));
  if (std::isfinite(width) && width > 0) {
    field.wordWrap = field.multiline = true;
    field.setSize(width * 20, 0);
  }
  field.setText(toUtf16(vm.toString(args[0])));
  double w = std::round(field.textWidth() / 20), h = std::round(field.textHeight() / 20);
  Object* out = vm.newObject();
  vm.set(out, "width", Value(w));
  vm.set(out, "height", Value(h));
  vm.set(out, "ascent", Value(std::round(h * 0.8)));
  vm.set(out, "descent", Value(h - std::round(h * 0.8)));
  vm.set(out, "textFieldWidth", Value(w + 4));
  vm.set(out, "textFieldHeight", Value(h + 4));
  return Value(out);
}

}  // namespace

Object* newTextFormatObject(Vm& vm, const TextFormat& format) {
  auto* o = vm.make<TextFormatObject>();
  o->proto = textProto(vm, "TextFormat");
  o->format = format;
  return o;
}

TextFormat textFormatOf(const Value& v) {
  TextFormatObject* o = formatObject(v);
  return o ? o->format : TextFormat{};
}

void installTextFormat(Vm& vm, Object* global) {
  Object* textFormatProto = vm.newObject();
  setTextState(vm, "TextFormat", Value(textFormatProto));
  Function* ctor = vm.newNative(textFormatCall, textFormatProto);
  ctor->nativeConstruct = textFormatConstruct;
  vm.defineOwn(global, "TextFormat", Value(static_cast<Object*>(ctor)), kDontEnum);
  defineFields(vm, textFormatProto, std::make_index_sequence<std::size(kFields)>{});
  textAccessor(vm, textFormatProto, "display", getDisplay, setDisplay);
  textMethod(vm, textFormatProto, "getTextExtent", getTextExtent);
}

}  // namespace vorlo::player::avm1
