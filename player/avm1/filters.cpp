// flash.filters: BitmapFilter and its eight subclasses of the SWF 8 player. A filter object keeps
// its properties as the reference player normalises them (clamped ranges, colours as 24-bit
// numbers, angles in degrees); `filters` of clips and buttons turns them into the core's filters
// (player/swf/filter.h) and back. The classes are tables of fields: the constructor takes the
// fields in table order and every field is a getter/setter pair on the class's prototype.
#include <cmath>
#include <numbers>

#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

enum class Field : uint8_t { Number, Integer, Boolean, Color, Type, Numbers, Colors, Alphas, Ratios };

struct FieldDef {
  const char* name;
  Field type;
  double min, max, initial;
};

constexpr double kBig = 1e300;
constexpr int kDisplacement = -1;  // a filter the core does not draw

struct ClassDef {
  const char* name;
  int kind;  // FilterKind, or kDisplacement
  std::vector<FieldDef> fields;
};

const std::vector<ClassDef>& classes() {
  static const std::vector<ClassDef> table = {
      {"BlurFilter", int(FilterKind::Blur),
       {{"blurX", Field::Number, 0, 255, 4}, {"blurY", Field::Number, 0, 255, 4}, {"quality", Field::Integer, 0, 15, 1}}},
      {"DropShadowFilter", int(FilterKind::DropShadow),
       {{"distance", Field::Number, -kBig, kBig, 4}, {"angle", Field::Number, -kBig, kBig, 45},
        {"color", Field::Color, 0, 0, 0}, {"alpha", Field::Number, 0, 1, 1}, {"blurX", Field::Number, 0, 255, 4},
        {"blurY", Field::Number, 0, 255, 4}, {"strength", Field::Number, 0, 255, 1}, {"quality", Field::Integer, 0, 15, 1},
        {"inner", Field::Boolean, 0, 0, 0}, {"knockout", Field::Boolean, 0, 0, 0}, {"hideObject", Field::Boolean, 0, 0, 0}}},
      {"GlowFilter", int(FilterKind::Glow),
       {{"color", Field::Color, 0, 0, 0xFF0000}, {"alpha", Field::Number, 0, 1, 1}, {"blurX", Field::Number, 0, 255, 6},
        {"blurY", Field::Number, 0, 255, 6}, {"strength", Field::Number, 0, 255, 2}, {"quality", Field::Integer, 0, 15, 1},
        {"inner", Field::Boolean, 0, 0, 0}, {"knockout", Field::Boolean, 0, 0, 0}}},
      {"BevelFilter", int(FilterKind::Bevel),
       {{"distance", Field::Number, -kBig, kBig, 4}, {"angle", Field::Number, -kBig, kBig, 45},
        {"highlightColor", Field::Color, 0, 0, 0xFFFFFF}, {"highlightAlpha", Field::Number, 0, 1, 1},
        {"shadowColor", Field::Color, 0, 0, 0}, {"shadowAlpha", Field::Number, 0, 1, 1}, {"blurX", Field::Number, 0, 255, 4},
        {"blurY", Field::Number, 0, 255, 4}, {"strength", Field::Number, 0, 255, 1}, {"quality", Field::Integer, 0, 15, 1},
        {"type", Field::Type, 0, 0, 0}, {"knockout", Field::Boolean, 0, 0, 0}}},
      {"GradientGlowFilter", int(FilterKind::GradientGlow),
       {{"distance", Field::Number, -kBig, kBig, 4}, {"angle", Field::Number, -kBig, kBig, 45},
        {"colors", Field::Colors, 0, 0, 0}, {"alphas", Field::Alphas, 0, 0, 0}, {"ratios", Field::Ratios, 0, 0, 0},
        {"blurX", Field::Number, 0, 255, 4}, {"blurY", Field::Number, 0, 255, 4}, {"strength", Field::Number, 0, 255, 1},
        {"quality", Field::Integer, 0, 15, 1}, {"type", Field::Type, 0, 0, 0}, {"knockout", Field::Boolean, 0, 0, 0}}},
      {"GradientBevelFilter", int(FilterKind::GradientBevel),
       {{"distance", Field::Number, -kBig, kBig, 4}, {"angle", Field::Number, -kBig, kBig, 45},
        {"colors", Field::Colors, 0, 0, 0}, {"alphas", Field::Alphas, 0, 0, 0}, {"ratios", Field::Ratios, 0, 0, 0},
        {"blurX", Field::Number, 0, 255, 4}, {"blurY", Field::Number, 0, 255, 4}, {"strength", Field::Number, 0, 255, 1},
        {"quality", Field::Integer, 0, 15, 1}, {"type", Field::Type, 0, 0, 0}, {"knockout", Field::Boolean, 0, 0, 0}}},
      {"ConvolutionFilter", int(FilterKind::Convolution),
       {{"matrixX", Field::Integer, 0, 15, 0}, {"matrixY", Field::Integer, 0, 15, 0}, {"matrix", Field::Numbers, 0, 0, 0},
        {"divisor", Field::Number, -kBig, kBig, 1}, {"bias", Field::Number, -kBig, kBig, 0},
        {"preserveAlpha", Field::Boolean, 0, 0, 1}, {"clamp", Field::Boolean, 0, 0, 1}, {"color", Field::Color, 0, 0, 0},
        {"alpha", Field::Number, 0, 1, 0}}},
      {"ColorMatrixFilter", int(FilterKind::ColorMatrix), {{"matrix", Field::Numbers, 0, 0, 0}}},
      {"DisplacementMapFilter", kDisplacement,
       {{"mapBitmap", Field::Type, 0, 0, 0}, {"mapPoint", Field::Type, 0, 0, 0}, {"componentX", Field::Integer, 0, 8, 0},
        {"componentY", Field::Integer, 0, 8, 0}, {"scaleX", Field::Number, -kBig, kBig, 0},
        {"scaleY", Field::Number, -kBig, kBig, 0}, {"mode", Field::Type, 0, 0, 0}, {"color", Field::Color, 0, 0, 0},
        {"alpha", Field::Number, 0, 1, 0}}},
  };
  return table;
}

class FilterObject : public Object {
 public:
  size_t cls = 0;
  std::vector<Value> values;  // one per field; lists are arrays owned by the filter
  void markChildren(Vm& vm) override {
    for (const Value& v : values)
      if (v.isObject()) markObject(vm, v.obj);
  }
};

FilterObject* filterOf(const Value& v) { return v.isObject() ? dynamic_cast<FilterObject*>(v.obj) : nullptr; }

std::vector<double> numbersOf(Vm& vm, const Value& v) {
  std::vector<double> out;
  if (!v.isObject() || v.obj->kind != Kind::Array) return out;
  for (const Value& item : static_cast<ArrayObject*>(v.obj)->items) out.push_back(vm.toNumber(item));
  return out;
}

Value arrayOf(Vm& vm, const std::vector<double>& numbers) {
  std::vector<Value> items;
  for (double n : numbers) items.push_back(Value(n));
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}

// The stored form of a value given to a field.
Value normalized(Vm& vm, const ClassDef& c, const FieldDef& f, const Value& v) {
  switch (f.type) {
    case Field::Number: {
      double n = vm.toNumber(v);
      if (std::isnan(n)) n = f.initial;
      return Value(std::clamp(n, f.min, f.max));
    }
    case Field::Integer: {
      double n = vm.toNumber(v);
      if (!std::isfinite(n)) n = f.initial;
      return Value(std::clamp(std::trunc(n), f.min, f.max));
    }
    case Field::Boolean: return Value(vm.toBool(v));
    case Field::Color: return Value(double(toUint32(vm.toNumber(v)) & 0xFFFFFF));
    case Field::Type: {
      if (c.kind == kDisplacement) return v;  // the map and point objects, the mode text
      std::string t = vm.toString(v);
      return Value(t == "outer" || t == "full" ? t : std::string("inner"));
    }
    case Field::Numbers: {
      std::vector<double> n = numbersOf(vm, v);
      if (c.kind == int(FilterKind::ColorMatrix)) n.resize(20, 0.0);
      if (n.size() > 225) n.resize(225);
      return arrayOf(vm, n);
    }
    case Field::Colors:
    case Field::Alphas:
    case Field::Ratios: {
      std::vector<double> n = numbersOf(vm, v);
      if (n.size() > 16) n.resize(16);
      for (double& x : n) {
        if (f.type == Field::Colors) x = double(toUint32(x) & 0xFFFFFF);
        else if (f.type == Field::Alphas) x = std::isnan(x) ? 0 : std::clamp(x, 0.0, 1.0);
        else x = std::isnan(x) ? 0 : std::clamp(std::trunc(x), 0.0, 255.0);
      }
      return arrayOf(vm, n);
    }
  }
  return {};
}

Value initialValue(Vm& vm, const ClassDef& c, const FieldDef& f) {
  switch (f.type) {
    case Field::Boolean: return Value(f.initial != 0);
    case Field::Type:
      if (c.kind != kDisplacement) return Value("inner");
      return std::string(f.name) == "mode" ? Value("wrap") : Value();
    case Field::Numbers:
      if (c.kind == int(FilterKind::ColorMatrix))
        return arrayOf(vm, {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0});
      return arrayOf(vm, {});
    case Field::Colors:
    case Field::Alphas:
    case Field::Ratios: return arrayOf(vm, {});
    default: return Value(f.initial);
  }
}

FilterObject* newFilter(Vm& vm, size_t cls) {
  auto* f = vm.make<FilterObject>();
  f->cls = cls;
  Value ctor = vm.get(vm.global(), "flash");
  Value proto;
  if (ctor.isObject()) ctor = vm.get(ctor.obj, "filters");
  if (ctor.isObject()) ctor = vm.get(ctor.obj, classes()[cls].name);
  if (ctor.isObject()) proto = vm.get(ctor.obj, "prototype");
  f->proto = proto.isObject() ? proto.obj : vm.objectProto;
  for (const FieldDef& d : classes()[cls].fields) f->values.push_back(initialValue(vm, classes()[cls], d));
  return f;
}

template <size_t kClass>
Value construct(Vm& vm, Value&, std::vector<Value>& args) {
  const ClassDef& c = classes()[kClass];
  FilterObject* f = newFilter(vm, kClass);
  for (size_t i = 0; i < c.fields.size() && i < args.size(); ++i) f->values[i] = normalized(vm, c, c.fields[i], args[i]);
  // A convolution given a colour but no alpha takes it opaque, as the reference player does.
  if (c.kind == int(FilterKind::Convolution) && args.size() == 8) f->values[8] = Value(1.0);
  return Value(static_cast<Object*>(f));
}

// Accessors: boundData is class * 64 + field.
Value getField(Vm& vm, Function& callee, Value& self, std::vector<Value>&) {
  FilterObject* f = filterOf(self);
  size_t cls = size_t(callee.boundData) / 64, field = size_t(callee.boundData) % 64;
  if (!f || f->cls != cls || field >= f->values.size()) return {};
  const Value& v = f->values[field];
  if (v.isObject() && v.obj->kind == Kind::Array) {
    std::vector<Value> copy = static_cast<ArrayObject*>(v.obj)->items;  // a copy: changing it changes nothing
    return Value(static_cast<Object*>(vm.newArray(std::move(copy))));
  }
  return v;
}
Value setField(Vm& vm, Function& callee, Value& self, std::vector<Value>& args) {
  FilterObject* f = filterOf(self);
  size_t cls = size_t(callee.boundData) / 64, field = size_t(callee.boundData) % 64;
  if (!f || f->cls != cls || field >= f->values.size() || args.empty()) return {};
  const ClassDef& c = classes()[cls];
  f->values[field] = normalized(vm, c, c.fields[field], args[0]);
  return {};
}

Value cloneFilter(Vm& vm, Value& self, std::vector<Value>&) {
  FilterObject* f = filterOf(self);
  if (!f) return {};
  FilterObject* copy = newFilter(vm, f->cls);
  copy->proto = f->proto;
  for (size_t i = 0; i < f->values.size(); ++i) {
    const Value& v = f->values[i];
    if (v.isObject() && v.obj->kind == Kind::Array)
      copy->values[i] = Value(static_cast<Object*>(vm.newArray(static_cast<ArrayObject*>(v.obj)->items)));
    else copy->values[i] = v;
  }
  return Value(static_cast<Object*>(copy));
}

Value baseFilter(Vm&, Value&, std::vector<Value>&) { return {}; }

double number(const FilterObject& f, size_t i) { return f.values[i].num; }
bool flag(const FilterObject& f, size_t i) { return f.values[i].boolean(); }
Rgba color(const FilterObject& f, size_t colorField, size_t alphaField) {
  uint32_t c = uint32_t(number(f, colorField));
  return Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(number(f, alphaField) * 255))};
}
std::vector<double> list(const FilterObject& f, size_t i) {
  std::vector<double> out;
  if (f.values[i].isObject() && f.values[i].obj->kind == Kind::Array)
    for (const Value& v : static_cast<ArrayObject*>(f.values[i].obj)->items) out.push_back(v.num);
  return out;
}
double radians(double degrees) { return degrees * std::numbers::pi / 180; }

}  // namespace

bool toCoreFilter(const Value& v, Filter* out) {
  FilterObject* f = filterOf(v);
  if (!f || classes()[f->cls].kind == kDisplacement) return false;
  Filter r;
  r.kind = FilterKind(classes()[f->cls].kind);
  const FilterObject& o = *f;
  switch (r.kind) {
    case FilterKind::Blur:
      r.blurX = number(o, 0), r.blurY = number(o, 1), r.passes = int(number(o, 2));
      break;
    case FilterKind::DropShadow:
      r.distance = number(o, 0), r.angle = radians(number(o, 1)), r.color = color(o, 2, 3);
      r.blurX = number(o, 4), r.blurY = number(o, 5), r.strength = number(o, 6), r.passes = int(number(o, 7));
      r.inner = flag(o, 8), r.knockout = flag(o, 9), r.compositeSource = !flag(o, 10);
      break;
    case FilterKind::Glow:
      r.color = color(o, 0, 1), r.blurX = number(o, 2), r.blurY = number(o, 3), r.strength = number(o, 4);
      r.passes = int(number(o, 5)), r.inner = flag(o, 6), r.knockout = flag(o, 7);
      break;
    case FilterKind::Bevel:
      r.distance = number(o, 0), r.angle = radians(number(o, 1)), r.highlight = color(o, 2, 3);
      r.color = color(o, 4, 5), r.blurX = number(o, 6), r.blurY = number(o, 7), r.strength = number(o, 8);
      r.passes = int(number(o, 9)), r.knockout = flag(o, 11);
      r.inner = o.values[10].str == "inner", r.onTop = o.values[10].str == "full";
      break;
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel: {
      r.distance = number(o, 0), r.angle = radians(number(o, 1));
      std::vector<double> colors = list(o, 2), alphas = list(o, 3), ratios = list(o, 4);
      size_t n = std::min({colors.size(), alphas.size(), ratios.size()});
      for (size_t i = 0; i < n; ++i) {
        uint32_t c = uint32_t(colors[i]);
        r.stops.push_back(GradientStop{uint8_t(ratios[i]),
                                       Rgba{uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c), uint8_t(std::lround(alphas[i] * 255))}});
      }
      r.blurX = number(o, 5), r.blurY = number(o, 6), r.strength = number(o, 7), r.passes = int(number(o, 8));
      r.inner = o.values[9].str == "inner", r.onTop = o.values[9].str == "full", r.knockout = flag(o, 10);
      break;
    }
    case FilterKind::Convolution: {
      r.matrixX = int(number(o, 0)), r.matrixY = int(number(o, 1));
      std::vector<double> m = list(o, 2);
      m.resize(size_t(r.matrixX * r.matrixY), 0.0);
      for (double x : m) r.matrix.push_back(float(x));
      r.divisor = number(o, 3), r.bias = number(o, 4), r.preserveAlpha = flag(o, 5), r.clamp = flag(o, 6);
      r.defaultColor = color(o, 7, 8);
      break;
    }
    case FilterKind::ColorMatrix: {
      std::vector<double> m = list(o, 0);
      for (size_t i = 0; i < 20 && i < m.size(); ++i) r.colorMatrix[i] = float(m[i]);
      break;
    }
  }
  r.passes = std::max(1, r.passes);
  *out = r;
  return true;
}

Value fromCoreFilter(Vm& vm, const Filter& r) {
  size_t cls = 0;
  while (cls < classes().size() && classes()[cls].kind != int(r.kind)) ++cls;
  if (cls == classes().size()) return {};
  FilterObject* f = newFilter(vm, cls);
  auto set = [&](size_t i, Value v) { f->values[i] = v; };
  auto rgb = [](Rgba c) { return Value(double(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b)); };
  auto alpha = [](Rgba c) { return Value(c.a / 255.0); };
  double degrees = r.angle * 180 / std::numbers::pi;
  std::string type = r.onTop ? "full" : r.inner ? "inner" : "outer";
  switch (r.kind) {
    case FilterKind::Blur: set(0, r.blurX), set(1, r.blurY), set(2, double(r.passes)); break;
    case FilterKind::DropShadow:
      set(0, r.distance), set(1, degrees), set(2, rgb(r.color)), set(3, alpha(r.color)), set(4, r.blurX);
      set(5, r.blurY), set(6, r.strength), set(7, double(r.passes)), set(8, r.inner), set(9, r.knockout);
      set(10, !r.compositeSource);
      break;
    case FilterKind::Glow:
      set(0, rgb(r.color)), set(1, alpha(r.color)), set(2, r.blurX), set(3, r.blurY), set(4, r.strength);
      set(5, double(r.passes)), set(6, r.inner), set(7, r.knockout);
      break;
    case FilterKind::Bevel:
      set(0, r.distance), set(1, degrees), set(2, rgb(r.highlight)), set(3, alpha(r.highlight)), set(4, rgb(r.color));
      set(5, alpha(r.color)), set(6, r.blurX), set(7, r.blurY), set(8, r.strength), set(9, double(r.passes));
      set(10, Value(type)), set(11, r.knockout);
      break;
    case FilterKind::GradientGlow:
    case FilterKind::GradientBevel: {
      std::vector<double> colors, alphas, ratios;
      for (const GradientStop& s : r.stops) {
        colors.push_back(rgb(s.color).num), alphas.push_back(s.color.a / 255.0), ratios.push_back(s.ratio);
      }
      set(0, r.distance), set(1, degrees), set(2, arrayOf(vm, colors)), set(3, arrayOf(vm, alphas));
      set(4, arrayOf(vm, ratios)), set(5, r.blurX), set(6, r.blurY), set(7, r.strength), set(8, double(r.passes));
      set(9, Value(type)), set(10, r.knockout);
      break;
    }
    case FilterKind::Convolution: {
      std::vector<double> m(r.matrix.begin(), r.matrix.end());
      set(0, double(r.matrixX)), set(1, double(r.matrixY)), set(2, arrayOf(vm, m)), set(3, r.divisor), set(4, r.bias);
      set(5, r.preserveAlpha), set(6, r.clamp), set(7, rgb(r.defaultColor)), set(8, alpha(r.defaultColor));
      break;
    }
    case FilterKind::ColorMatrix: set(0, arrayOf(vm, std::vector<double>(r.colorMatrix.begin(), r.colorMatrix.end()))); break;
  }
  return Value(static_cast<Object*>(f));
}

namespace {

// `filters` of clips and buttons: copies both ways, as in the reference player.
Value clipFilters(Vm& vm, Value& self, std::vector<Value>&) {
  if (!self.isObject() || self.obj->kind != Kind::Clip) return {};
  auto* c = static_cast<ClipObject*>(self.obj);
  std::vector<Value> items;
  if (c->display)
    for (const Filter& f : c->display->filters)
      if (Value v = fromCoreFilter(vm, f); v.isObject()) items.push_back(v);
  return Value(static_cast<Object*>(vm.newArray(std::move(items))));
}
Value setClipFilters(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject() || self.obj->kind != Kind::Clip) return {};
  auto* c = static_cast<ClipObject*>(self.obj);
  if (!c->display) return {};
  std::vector<Filter> filters;
  const Value& list = arg(args, 0);
  if (list.isObject() && list.obj->kind == Kind::Array)
    for (const Value& v : static_cast<ArrayObject*>(list.obj)->items) {
      Filter f;
      if (toCoreFilter(v, &f)) filters.push_back(std::move(f));
    }
  c->display->filters = std::move(filters);
  return {};
}

template <size_t... I>
void installClasses(Vm& vm, Object* package, Object* baseProto, std::index_sequence<I...>) {
  NativeFn constructors[] = {construct<I>...};
  for (size_t cls = 0; cls < sizeof...(I); ++cls) {
    const ClassDef& c = classes()[cls];
    Object* proto = vm.newObject(baseProto);
    Function* ctor = makeClass(vm, package, c.name, baseFilter, constructors[cls], proto);
    (void)ctor;
    method(vm, proto, "clone", cloneFilter);
    for (size_t i = 0; i < c.fields.size(); ++i) {
      Function* get = vm.newNative(nullptr);
      get->bound = getField;
      get->boundData = int32_t(cls * 64 + i);
      Function* set = vm.newNative(nullptr);
      set->bound = setField;
      set->boundData = get->boundData;
      std::string k = vm.key(c.fields[i].name);
      proto->index.emplace(k, uint32_t(proto->props.size()));
      proto->props.push_back(Property{c.fields[i].name, Value(), get, set, kDontEnum, 0});
    }
  }
}

}  // namespace

void installFilters(Vm& vm, Object* global) {
  Value flash = vm.get(global, "flash");
  if (!flash.isObject()) {
    flash = Value(vm.newObject());
    vm.defineOwn(global, "flash", flash, kDontEnum);
  }
  Object* package = vm.newObject();
  vm.defineOwn(flash.obj, "filters", Value(package), kDontEnum);
  Object* baseProto = vm.newObject();
  makeClass(vm, package, "BitmapFilter", baseFilter, nullptr, baseProto);
  method(vm, baseProto, "clone", cloneFilter);
  installClasses(vm, package, baseProto, std::make_index_sequence<9>());
  for (Object* proto : {vm.clipProto, vm.buttonProto})
    if (proto) accessor(vm, proto, "filters", clipFilters, setClipFilters, kDontEnum, 8);
}

}  // namespace vorlo::player::avm1
