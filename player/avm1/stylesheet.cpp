// TextField.StyleSheet: named styles (objects of CSS properties in camel case) that scripts set,
// parse from CSS text and turn into TextFormat objects.
#include <cmath>
#include <limits>

#include "player/avm1/text.h"
#include "player/avm1/text_api.h"

namespace vorlo::player::avm1 {

namespace {

constexpr size_t kMaxCss = size_t(1) << 20;  // characters of CSS text read
constexpr size_t kMaxStyles = 4096;

// The stored styles of a sheet: a hidden object of name -> style object.
Object* styles(Vm& vm, const Value& self, bool create) {
  if (!self.isObject()) return nullptr;
  Property* p = self.obj->own(vm.key("_styles"));
  if (p && p->value.isObject()) return p->value.obj;
  if (!create) return nullptr;
  Object* o = vm.newObject();
  vm.defineOwn(self.obj, "_styles", Value(o), kDontEnum);
  return o;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The integer a text starts with after white space (an optional sign, then digits), or NaN.
double leadingInteger(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  size_t start = i;
  double v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') v = v * 10 + (s[i++] - '0');
  if (i == start) return std::numeric_limits<double>::quiet_NaN();
  return negative ? -v : v;
}

// "#rrggbb" exactly.
std::optional<uint32_t> cssColor(const std::string& s) {
  if (s.size() != 7 || s[0] != '#') return std::nullopt;
  uint32_t rgb = 0;
  for (size_t i = 1; i < 7; ++i) {
    char c = s[i];
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (d < 0) return std::nullopt;
    rgb = rgb << 4 | uint32_t(d);
  }
  return rgb;
}

// Font lists: each name loses its leading blanks, empty names go.
std::string fontList(const std::string& s) {
  std::string out;
  size_t i = 0;
  while (i <= s.size()) {
    size_t comma = s.find(',', i);
    if (comma == std::string::npos) comma = s.size();
    size_t b = i;
    while (b < comma && isBlank(s[b])) ++b;
    if (b < comma) {
      if (!out.empty()) out += ',';
      out += s.substr(b, comma - b);
    }
    i = comma + 1;
  }
  return out;
}

Value transform(Vm& vm, Value& self, std::vector<Value>& args) {
  const Value& style = textArg(args, 0);
  if (style.isNullish()) return Value::null();
  std::string display = "block";
  TextFormat f;
  if (style.isObject()) f = formatFromStyle(vm, style.obj, &display);
  f.kerning = f.kerning.value_or(false);
  Object* out = newTextFormatObject(vm, f);
  vm.set(out, "display", Value(display));
  (void)self;
  return Value(out);
}

Value setStyle(Vm& vm, Value& self, std::vector<Value>& args) {
  Object* all = styles(vm, self, true);
  if (!all || args.empty()) return {};
  std::string name = vm.toString(args[0]);
  const Value& v = textArg(args, 1);
  if (!v.isObject()) {
    vm.remove(all, name);
    return {};
  }
  if (all->props.size() >= kMaxStyles && !vm.hasOwn(all, name)) return {};
  Object* copy = vm.newObject();
  for (const std::string& k : vm.enumerate(v.obj)) vm.set(copy, k, vm.get(v.obj, k));
  vm.set(all, name, Value(copy));
  return {};
}

Value getStyle(Vm& vm, Value& self, std::vector<Value>& args) {
  Object* all = styles(vm, self, false);
  if (!all || args.empty()) return Value::null();
  Value v = vm.get(all, vm.toString(args[0]));
  if (!v.isObject()) return Value::null();
  Object* copy = vm.newObject();
  for (const std::string& k : vm.enumerate(v.obj)) vm.set(copy, k, vm.get(v.obj, k));
  return Value(copy);
}

Value getStyleNames(Vm& vm, Value& self, std::vector<Value>&) {
  std::vector<Value> names;
  if (Object* all = styles(vm, self, false))
    for (const Property& p : all->props) names.push_back(Value(p.name));
  return Value(static_cast<Object*>(vm.newArray(std::move(names))));
}

Value clearStyles(Vm& vm, Value& self, std::vector<Value>&) {
  if (self.isObject()) vm.defineOwn(self.obj, "_styles", Value(vm.newObject()), kDontEnum);
  return {};
}

// "font-family" -> "fontFamily".
std::string camelCase(const std::string& css) {
  std::string out;
  bool upper = false;
  for (char c : css) {
    if (c == '-') {
      upper = true;
      continue;
    }
    out += upper ? char(std::toupper(static_cast<unsigned char>(c))) : c;
    upper = false;
  }
  return out;
}

std::string trimmed(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// parseCSS(text): "sel1, sel2 { name: value; ... }" rules; false when the text is not CSS.
Value parseCss(Vm& vm, Value& self, std::vector<Value>& args) {
  Object* all = styles(vm, self, true);
  if (!all || args.empty()) return Value(false);
  std::string css = vm.toString(args[0]);
  if (css.size() > kMaxCss) return Value(false);
  std::vector<std::pair<std::vector<std::string>, std::vector<std::pair<std::string, std::string>>>> rules;
  size_t i = 0;
  while (true) {
    // Comments go.
    size_t open = css.find('{', i);
    if (open == std::string::npos) {
      if (!trimmed(css.substr(i)).empty()) return Value(false);
      break;
    }
    size_t close = css.find('}', open);
    if (close == std::string::npos) return Value(false);
    std::vector<std::string> selectors;
    std::string sel = css.substr(i, open - i);
    size_t s = 0;
    while (s <= sel.size()) {
      size_t comma = sel.find(',', s);
      if (comma == std::string::npos) comma = sel.size();
      std::string name = trimmed(sel.substr(s, comma - s));
      if (name.empty()) return Value(false);
      selectors.push_back(name);
      s = comma + 1;
    }
    std::vector<std::pair<std::string, std::string>> decls;
    std::string body = css.substr(open + 1, close - open - 1);
    size_t d = 0;
    while (d < body.size()) {
      size_t semi = body.find(';', d);
      if (semi == std::string::npos) semi = body.size();
      std::string decl = body.substr(d, semi - d);
      size_t colon = decl.find(':');
      if (colon != std::string::npos) {
        std::string name = trimmed(decl.substr(0, colon));
        std::string value = trimmed(decl.substr(colon + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
          value = value.substr(1, value.size() - 2);
        if (!name.empty()) decls.push_back({camelCase(name), value});
      } else if (!trimmed(decl).empty()) {
        return Value(false);
      }
      d = semi + 1;
    }
    rules.push_back({selectors, decls});
    i = close + 1;
  }
  for (auto& [selectors, decls] : rules) {
    for (const std::string& name : selectors) {
      if (all->props.size() >= kMaxStyles) break;
      Value existing = vm.get(all, name);
      Object* style = existing.isObject() ? existing.obj : vm.newObject();
      for (auto& [k, v] : decls) vm.set(style, k, Value(v));
      vm.set(all, name, Value(style));
    }
  }
  return Value(true);
}

Value styleSheetCall(Vm&, Value&, std::vector<Value>&) { return {}; }

}  // namespace

TextFormat formatFromStyle(Vm& vm, Object* style, std::string* display) {
  TextFormat f;
  auto value = [&](const char* name, Value* out) {
    *out = vm.get(style, name);
    return vm.toBool(*out);  // unset, empty, zero and false say nothing
  };
  Value v;
  if (value("color", &v))
    if (auto rgb = cssColor(vm.toString(v))) f.color = *rgb;
  if (value("display", &v)) {
    std::string d = vm.toString(v);
    if (d == "inline" || d == "block" || d == "none") *display = d;
  }
  if (value("fontFamily", &v)) {
    std::string list = fontList(vm.toString(v));
    if (!list.empty()) f.font = list;
  }
  if (value("fontSize", &v)) {
    double n = leadingInteger(vm.toString(v));
    if (n > 0) f.size = n;
  }
  if (value("fontStyle", &v)) {
    std::string s = vm.toString(v);
    if (s == "normal") f.italic = false;
    if (s == "italic") f.italic = true;
  }
  if (value("fontWeight", &v)) {
    std::string s = vm.toString(v);
    if (s == "normal") f.bold = false;
    if (s == "bold") f.bold = true;
  }
  if (value("kerning", &v)) {
    if (v.isString() && v.str == "true") {
      f.kerning = true;
    } else {
      double n = leadingInteger(vm.toString(v));
      f.kerning = !std::isnan(n) && n != 0;
    }
  }
  if (value("leading", &v)) {
    double n = leadingInteger(vm.toString(v));
    f.leading = std::isnan(n) ? 0 : n;
  }
  if (value("letterSpacing", &v)) f.letterSpacing = leadingInteger(vm.toString(v));
  if (value("marginLeft", &v)) {
    double n = leadingInteger(vm.toString(v));
    f.leftMargin = std::isnan(n) ? 0 : std::max(0.0, n);
  }
  if (value("marginRight", &v)) {
    double n = leadingInteger(vm.toString(v));
    f.rightMargin = std::isnan(n) ? 0 : std::max(0.0, n);
  }
  if (value("textAlign", &v)) {
    std::string s = vm.toString(v);
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (s == "left" || s == "center" || s == "right" || s == "justify") f.align = alignFromName(s);
  }
  if (value("textDecoration", &v)) {
    std::string s = vm.toString(v);
    if (s == "none") f.underline = false;
    if (s == "underline") f.underline = true;
  }
  return f;
}

void installStyleSheet(Vm& vm, Object* textFieldCtor) {
  Object* proto = vm.newObject();
  Function* ctor = vm.newNative(styleSheetCall, proto);
  vm.defineOwn(textFieldCtor, "StyleSheet", Value(static_cast<Object*>(ctor)), kDontEnum);
  textMethod(vm, proto, "transform", transform);
  textMethod(vm, proto, "setStyle", setStyle);
  textMethod(vm, proto, "getStyle", getStyle);
  textMethod(vm, proto, "getStyleNames", getStyleNames);
  textMethod(vm, proto, "clear", clearStyles);
  textMethod(vm, proto, "parseCSS", parseCss);
}

}  // namespace vorlo::player::avm1
