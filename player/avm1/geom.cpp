// flash.geom of the SWF 8 player: Point, Rectangle, Matrix and ColorTransform. They are ordinary
// objects whose fields are plain properties (scripts may write anything into them), so every
// method reads the fields it needs through the object and writes its results back the same way.
#include <cmath>

#include "player/avm1/geom.h"
#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

double field(Vm& vm, const Value& self, const char* name) {
  return self.isObject() ? vm.toNumber(vm.get(self.obj, name)) : kNaN;
}
void put(Vm& vm, const Value& self, const char* name, double v) {
  if (self.isObject()) vm.set(self.obj, name, Value(v));
}
// The fields in order, from the arguments or the defaults when the call has none.
void initFields(Vm& vm, Value& self, std::vector<Value>& args, std::initializer_list<const char*> names,
                std::initializer_list<double> defaults) {
  if (!self.isObject()) return;
  auto d = defaults.begin();
  size_t i = 0;
  for (const char* name : names) {
    vm.set(self.obj, name, args.empty() ? Value(*d) : arg(args, i));
    ++d, ++i;
  }
}
std::string fieldText(Vm& vm, const Value& self, std::initializer_list<const char*> names) {
  std::string out = "(";
  for (const char* name : names) {
    if (out.size() > 1) out += ", ";
    out += std::string(name) + "=" + (self.isObject() ? vm.toString(vm.get(self.obj, name)) : "undefined");
  }
  return out + ")";
}

// ---- Point ----

Value pointInit(Vm& vm, Value& self, std::vector<Value>& args) {
  initFields(vm, self, args, {"x", "y"}, {0, 0});
  return {};
}
Value pointAdd(Vm& vm, Value& self, std::vector<Value>& args) {
  const Value& o = arg(args, 0);
  return newPoint(vm, field(vm, self, "x") + field(vm, o, "x"), field(vm, self, "y") + field(vm, o, "y"));
}
Value pointSubtract(Vm& vm, Value& self, std::vector<Value>& args) {
  const Value& o = arg(args, 0);
  return newPoint(vm, field(vm, self, "x") - field(vm, o, "x"), field(vm, self, "y") - field(vm, o, "y"));
}
Value pointClone(Vm& vm, Value& self, std::vector<Value>&) {
  return newPoint(vm, field(vm, self, "x"), field(vm, self, "y"));
}
Value pointEquals(Vm& vm, Value& self, std::vector<Value>& args) {
  const Value& o = arg(args, 0);
  if (!o.isObject()) return Value(false);
  return Value(field(vm, self, "x") == field(vm, o, "x") && field(vm, self, "y") == field(vm, o, "y"));
}
Value pointLength(Vm& vm, Value& self, std::vector<Value>&) {
  return Value(std::hypot(field(vm, self, "x"), field(vm, self, "y")));
}
Value pointNormalize(Vm& vm, Value& self, std::vector<Value>& args) {
  double x = field(vm, self, "x"), y = field(vm, self, "y"), len = std::hypot(x, y);
  if (len > 0) {
    double k = vm.toNumber(arg(args, 0)) / len;
    put(vm, self, "x", x * k), put(vm, self, "y", y * k);
  }
  return {};
}
Value pointOffset(Vm& vm, Value& self, std::vector<Value>& args) {
  put(vm, self, "x", field(vm, self, "x") + vm.toNumber(arg(args, 0)));
  put(vm, self, "y", field(vm, self, "y") + vm.toNumber(arg(args, 1)));
  return {};
}
Value pointToString(Vm& vm, Value& self, std::vector<Value>&) { return Value(fieldText(vm, self, {"x", "y"})); }
Value pointDistance(Vm& vm, Value&, std::vector<Value>& args) {
  const Value &a = arg(args, 0), &b = arg(args, 1);
  if (!a.isObject() || !b.isObject()) return {};
  return Value(std::hypot(field(vm, a, "x") - field(vm, b, "x"), field(vm, a, "y") - field(vm, b, "y")));
}
Value pointInterpolate(Vm& vm, Value&, std::vector<Value>& args) {
  const Value &a = arg(args, 0), &b = arg(args, 1);
  double f = vm.toNumber(arg(args, 2));
  double bx = field(vm, b, "x"), by = field(vm, b, "y");
  return newPoint(vm, bx + (field(vm, a, "x") - bx) * f, by + (field(vm, a, "y") - by) * f);
}
Value pointPolar(Vm& vm, Value&, std::vector<Value>& args) {
  double len = vm.toNumber(arg(args, 0)), angle = vm.toNumber(arg(args, 1));
  return newPoint(vm, len * std::cos(angle), len * std::sin(angle));
}

// ---- Rectangle ----

struct Box {
  double x, y, w, h;
};
Box boxOf(Vm& vm, const Value& v) {
  return {field(vm, v, "x"), field(vm, v, "y"), field(vm, v, "width"), field(vm, v, "height")};
}
void putBox(Vm& vm, const Value& self, const Box& b) {
  put(vm, self, "x", b.x), put(vm, self, "y", b.y), put(vm, self, "width", b.w), put(vm, self, "height", b.h);
}
bool emptyBox(const Box& b) { return !(b.w > 0 && b.h > 0); }

Value rectInit(Vm& vm, Value& self, std::vector<Value>& args) {
  initFields(vm, self, args, {"x", "y", "width", "height"}, {0, 0, 0, 0});
  return {};
}
Value rectClone(Vm& vm, Value& self, std::vector<Value>&) {
  Box b = boxOf(vm, self);
  return newRectangle(vm, b.x, b.y, b.w, b.h);
}
Value rectToString(Vm& vm, Value& self, std::vector<Value>&) {
  std::string s = fieldText(vm, self, {"x", "y", "width", "height"});
  // The reference player names the size fields "w" and "h" here.
  size_t at = s.find("width=");
  if (at != std::string::npos) s.replace(at, 5, "w");
  at = s.find("height=");
  if (at != std::string::npos) s.replace(at, 6, "h");
  return Value(s);
}
Value rectIsEmpty(Vm& vm, Value& self, std::vector<Value>&) { return Value(emptyBox(boxOf(vm, self))); }
Value rectSetEmpty(Vm& vm, Value& self, std::vector<Value>&) {
  putBox(vm, self, {0, 0, 0, 0});
  return {};
}
Value rectContains(Vm& vm, Value& self, std::vector<Value>& args) {
  Box b = boxOf(vm, self);
  double x = vm.toNumber(arg(args, 0)), y = vm.toNumber(arg(args, 1));
  return Value(x >= b.x && y >= b.y && x < b.x + b.w && y < b.y + b.h);
}
Value rectContainsPoint(Vm& vm, Value& self, std::vector<Value>& args) {
  std::vector<Value> xy = {Value(field(vm, arg(args, 0), "x")), Value(field(vm, arg(args, 0), "y"))};
  return rectContains(vm, self, xy);
}
Value rectContainsRectangle(Vm& vm, Value& self, std::vector<Value>& args) {
  Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
  if (emptyBox(b)) return Value(false);
  return Value(b.x >= a.x && b.y >= a.y && b.x + b.w <= a.x + a.w && b.y + b.h <= a.y + a.h);
}
Value rectEquals(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!arg(args, 0).isObject()) return Value(false);
  Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
  return Value(a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h);
}
Box intersect(const Box& a, const Box& b) {
  double x0 = std::max(a.x, b.x), y0 = std::max(a.y, b.y);
  double x1 = std::min(a.x + a.w, b.x + b.w), y1 = std::min(a.y + a.h, b.y + b.h);
  if (!(x1 > x0 && y1 > y0)) return {0, 0, 0, 0};
  return {x0, y0, x1 - x0, y1 - y0};
}
Value rectIntersection(Vm& vm, Value& self, std::vector<Value>& args) {
  Box r = intersect(boxOf(vm, self), boxOf(vm, arg(args, 0)));
  return newRectangle(vm, r.x, r.y, r.w, r.h);
}
Value rectIntersects(Vm& vm, Value& self, std::vector<Value>& args) {
  return Value(!emptyBox(intersect(boxOf(vm, self), boxOf(vm, arg(args, 0)))));
}
Value rectUnion(Vm& vm, Value& self, std::vector<Value>& args) {
  Box a = boxOf(vm, self), b = boxOf(vm, arg(args, 0));
  if (emptyBox(a)) return newRectangle(vm, b.x, b.y, b.w, b.h);
  if (emptyBox(b)) return newRectangle(vm, a.x, a.y, a.w, a.h);
  double x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
  double x1 = std::max(a.x + a.w, b.x + b.w), y1 = std::max(a.y + a.h, b.y + b.h);
  return newRectangle(vm, x0, y0, x1 - x0, y1 - y0);
}
void inflateBy(Vm& vm, Value& self, double dx, double dy) {
  Box b = boxOf(vm, self);
  putBox(vm, self, {b.x - dx, b.y - dy, b.w + 2 * dx, b.h + 2 * dy});
}
Value rectInflate(Vm& vm, Value& self, std::vector<Value>& args) {
  inflateBy(vm, self, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
  return {};
}
Value rectInflatePoint(Vm& vm, Value& self, std::vector<Value>& args) {
  inflateBy(vm, self, field(vm, arg(args, 0), "x"), field(vm, arg(args, 0), "y"));
  return {};
}
void offsetBy(Vm& vm, Value& self, double dx, double dy) {
  put(vm, self, "x", field(vm, self, "x") + dx), put(vm, self, "y", field(vm, self, "y") + dy);
}
Value rectOffset(Vm& vm, Value& self, std::vector<Value>& args) {
  offsetBy(vm, self, vm.toNumber(arg(args, 0)), vm.toNumber(arg(args, 1)));
  return {};
}
Value rectOffsetPoint(Vm& vm, Value& self, std::vector<Value>& args) {
  offsetBy(vm, self, field(vm, arg(args, 0), "x"), field(vm, arg(args, 0), "y"));
  return {};
}
// The edge accessors: left and top are x and y; right and bottom move the far edge only.
Value rectLeft(Vm& vm, Value& self, std::vector<Value>&) { return Value(field(vm, self, "x")); }
Value rectSetLeft(Vm& vm, Value& self, std::vector<Value>& args) {
  double right = field(vm, self, "x") + field(vm, self, "width"), x = vm.toNumber(arg(args, 0));
  put(vm, self, "width", right - x), put(vm, self, "x", x);
  return {};
}
Value rectTop(Vm& vm, Value& self, std::vector<Value>&) { return Value(field(vm, self, "y")); }
Value rectSetTop(Vm& vm, Value& self, std::vector<Value>& args) {
  double bottom = field(vm, self, "y") + field(vm, self, "height"), y = vm.toNumber(arg(args, 0));
  put(vm, self, "height", bottom - y), put(vm, self, "y", y);
  return {};
}
Value rectRight(Vm& vm, Value& self, std::vector<Value>&) {
  return Value(field(vm, self, "x") + field(vm, self, "width"));
}
Value rectSetRight(Vm& vm, Value& self, std::vector<Value>& args) {
  put(vm, self, "width", vm.toNumber(arg(args, 0)) - field(vm, self, "x"));
  return {};
}
Value rectBottom(Vm& vm, Value& self, std::vector<Value>&) {
  return Value(field(vm, self, "y") + field(vm, self, "height"));
}
Value rectSetBottom(Vm& vm, Value& self, std::vector<Value>& args) {
  put(vm, self, "height", vm.toNumber(arg(args, 0)) - field(vm, self, "y"));
  return {};
}
Value rectTopLeft(Vm& vm, Value& self, std::vector<Value>&) {
  return newPoint(vm, field(vm, self, "x"), field(vm, self, "y"));
}
Value rectSetTopLeft(Vm& vm, Value& self, std::vector<Value>& args) {
  std::vector<Value> x = {Value(field(vm, arg(args, 0), "x"))}, y = {Value(field(vm, arg(args, 0), "y"))};
  rectSetLeft(vm, self, x), rectSetTop(vm, self, y);
  return {};
}
Value rectBottomRight(Vm& vm, Value& self, std::vector<Value>&) {
  Box b = boxOf(vm, self);
  return newPoint(vm, b.x + b.w, b.y + b.h);
}
Value rectSetBottomRight(Vm& vm, Value& self, std::vector<Value>& args) {
  std::vector<Value> x = {Value(field(vm, arg(args, 0), "x"))}, y = {Value(field(vm, arg(args, 0), "y"))};
  rectSetRight(vm, self, x), rectSetBottom(vm, self, y);
  return {};
}
Value rectSize(Vm& vm, Value& self, std::vector<Value>&) {
  return newPoint(vm, field(vm, self, "width"), field(vm, self, "height"));
}
Value rectSetSize(Vm& vm, Value& self, std::vector<Value>& args) {
  put(vm, self, "width", field(vm, arg(args, 0), "x")), put(vm, self, "height", field(vm, arg(args, 0), "y"));
  return {};
}

// ---- Matrix ----

const std::initializer_list<const char*> kMatrixFields = {"a", "b", "c", "d", "tx", "ty"};

Value matrixInit(Vm& vm, Value& self, std::vector<Value>& args) {
  initFields(vm, self, args, kMatrixFields, {1, 0, 0, 1, 0, 0});
  return {};
}
void putMatrix(Vm& vm, const Value& self, const Matrix& m) {
  put(vm, self, "a", m.a), put(vm, self, "b", m.b), put(vm, self, "c", m.c), put(vm, self, "d", m.d);
  put(vm, self, "tx", m.tx), put(vm, self, "ty", m.ty);
}
Value matrixClone(Vm& vm, Value& self, std::vector<Value>&) { return newMatrix(vm, matrixOf(vm, self)); }
Value matrixToString(Vm& vm, Value& self, std::vector<Value>&) { return Value(fieldText(vm, self, kMatrixFields)); }
Value matrixIdentity(Vm& vm, Value& self, std::vector<Value>&) {
  putMatrix(vm, self, Matrix{});
  return {};
}
// `m` then `self`'s own transformation: the product as the player's concat gives it.
Matrix followedBy(const Matrix& first, const Matrix& then) {
  Matrix r;
  r.a = first.a * then.a + first.b * then.c;
  r.b = first.a * then.b + first.b * then.d;
  r.c = first.c * then.a + first.d * then.c;
  r.d = first.c * then.b + first.d * then.d;
  r.tx = first.tx * then.a + first.ty * then.c + then.tx;
  r.ty = first.tx * then.b + first.ty * then.d + then.ty;
  return r;
}
Value matrixConcat(Vm& vm, Value& self, std::vector<Value>& args) {
  putMatrix(vm, self, followedBy(matrixOf(vm, self), matrixOf(vm, arg(args, 0))));
  return {};
}
Value matrixTranslate(Vm& vm, Value& self, std::vector<Value>& args) {
  put(vm, self, "tx", field(vm, self, "tx") + vm.toNumber(arg(args, 0)));
  put(vm, self, "ty", field(vm, self, "ty") + vm.toNumber(arg(args, 1)));
  return {};
}
Value matrixScale(Vm& vm, Value& self, std::vector<Value>& args) {
  Matrix s;
  s.a = vm.toNumber(arg(args, 0)), s.d = vm.toNumber(arg(args, 1));
  putMatrix(vm, self, followedBy(matrixOf(vm, self), s));
  return {};
}
Value matrixRotate(Vm& vm, Value& self, std::vector<Value>& args) {
  double angle = vm.toNumber(arg(args, 0));
  Matrix r;
  r.a = std::cos(angle), r.b = std::sin(angle), r.c = -std::sin(angle), r.d = std::cos(angle);
  putMatrix(vm, self, followedBy(matrixOf(vm, self), r));
  return {};
}
Value matrixInvert(Vm& vm, Value& self, std::vector<Value>&) {
  Matrix m = matrixOf(vm, self), inv;
  if (m.invert(inv)) putMatrix(vm, self, inv);
  else {
    // A singular matrix inverts to the one that maps everything onto its translation's inverse.
    Matrix z;
    z.a = z.b = z.c = z.d = 0;
    z.tx = -m.tx, z.ty = -m.ty;
    putMatrix(vm, self, z);
  }
  return {};
}
Value matrixCreateBox(Vm& vm, Value& self, std::vector<Value>& args) {
  double sx = vm.toNumber(arg(args, 0)), sy = vm.toNumber(arg(args, 1));
  double angle = args.size() > 2 ? vm.toNumber(args[2]) : 0;
  Matrix m;
  m.a = sx * std::cos(angle), m.b = sy * std::sin(angle), m.c = -sx * std::sin(angle), m.d = sy * std::cos(angle);
  m.tx = args.size() > 3 ? vm.toNumber(args[3]) : 0, m.ty = args.size() > 4 ? vm.toNumber(args[4]) : 0;
  putMatrix(vm, self, m);
  return {};
}
Value matrixCreateGradientBox(Vm& vm, Value& self, std::vector<Value>& args) {
  // The gradient square is 1638.4 units wide, centred on the origin.
  double w = vm.toNumber(arg(args, 0)), h = vm.toNumber(arg(args, 1));
  std::vector<Value> box = {Value(w / 1638.4), Value(h / 1638.4), args.size() > 2 ? args[2] : Value(0.0)};
  matrixCreateBox(vm, self, box);
  double tx = args.size() > 3 ? vm.toNumber(args[3]) : 0, ty = args.size() > 4 ? vm.toNumber(args[4]) : 0;
  put(vm, self, "tx", tx + w / 2), put(vm, self, "ty", ty + h / 2);
  return {};
}
Value matrixTransformPoint(Vm& vm, Value& self, std::vector<Value>& args) {
  Point p = matrixOf(vm, self).apply(Point{field(vm, arg(args, 0), "x"), field(vm, arg(args, 0), "y")});
  return newPoint(vm, p.x, p.y);
}
Value matrixDeltaTransformPoint(Vm& vm, Value& self, std::vector<Value>& args) {
  Matrix m = matrixOf(vm, self);
  m.tx = m.ty = 0;
  Point p = m.apply(Point{field(vm, arg(args, 0), "x"), field(vm, arg(args, 0), "y")});
  return newPoint(vm, p.x, p.y);
}

// ---- ColorTransform ----

const std::initializer_list<const char*> kColorFields = {"redMultiplier", "greenMultiplier", "blueMultiplier",
                                                         "alphaMultiplier", "redOffset", "greenOffset",
                                                         "blueOffset", "alphaOffset"};

Value colorInit(Vm& vm, Value& self, std::vector<Value>& args) {
  initFields(vm, self, args, kColorFields, {1, 1, 1, 1, 0, 0, 0, 0});
  return {};
}
Value colorToString(Vm& vm, Value& self, std::vector<Value>&) { return Value(fieldText(vm, self, kColorFields)); }
Value colorRgb(Vm& vm, Value& self, std::vector<Value>&) {
  auto part = [&](const char* name) { return uint32_t(toInt32(field(vm, self, name))) & 0xFF; };
  return Value(double(part("redOffset") << 16 | part("greenOffset") << 8 | part("blueOffset")));
}
Value colorSetRgb(Vm& vm, Value& self, std::vector<Value>& args) {
  uint32_t rgb = toUint32(vm.toNumber(arg(args, 0)));
  put(vm, self, "redMultiplier", 0), put(vm, self, "greenMultiplier", 0), put(vm, self, "blueMultiplier", 0);
  put(vm, self, "redOffset", rgb >> 16 & 0xFF), put(vm, self, "greenOffset", rgb >> 8 & 0xFF);
  put(vm, self, "blueOffset", rgb & 0xFF);
  return {};
}
Value colorConcat(Vm& vm, Value& self, std::vector<Value>& args) {
  const Value& o = arg(args, 0);
  const char* channels[] = {"red", "green", "blue", "alpha"};
  for (const char* ch : channels) {
    std::string mul = std::string(ch) + "Multiplier", off = std::string(ch) + "Offset";
    double m1 = field(vm, self, mul.c_str()), o1 = field(vm, self, off.c_str());
    double m2 = field(vm, o, mul.c_str()), o2 = field(vm, o, off.c_str());
    put(vm, self, off.c_str(), o1 + m1 * o2), put(vm, self, mul.c_str(), m1 * m2);
  }
  return {};
}

Object* classProto(Vm& vm, const char* name) {
  Value flash = vm.get(vm.global(), "flash");
  Value geom = flash.isObject() ? vm.get(flash.obj, "geom") : Value();
  Value ctor = geom.isObject() ? vm.get(geom.obj, name) : Value();
  return ctor.isObject() ? ctor.obj : nullptr;
}

Value makeInstance(Vm& vm, const char* cls, std::vector<Value> args) {
  Object* ctor = classProto(vm, cls);
  return ctor ? vm.construct(Value(ctor), std::move(args)) : Value();
}

}  // namespace

Value newPoint(Vm& vm, double x, double y) { return makeInstance(vm, "Point", {Value(x), Value(y)}); }
Value newRectangle(Vm& vm, double x, double y, double w, double h) {
  return makeInstance(vm, "Rectangle", {Value(x), Value(y), Value(w), Value(h)});
}
Value newMatrix(Vm& vm, const Matrix& m) {
  return makeInstance(vm, "Matrix", {Value(m.a), Value(m.b), Value(m.c), Value(m.d), Value(m.tx), Value(m.ty)});
}
Matrix matrixOf(Vm& vm, const Value& v) {
  Matrix m;
  m.a = field(vm, v, "a"), m.b = field(vm, v, "b"), m.c = field(vm, v, "c"), m.d = field(vm, v, "d");
  m.tx = field(vm, v, "tx"), m.ty = field(vm, v, "ty");
  return m;
}
bool readRect(Vm& vm, const Value& v, double* x, double* y, double* w, double* h) {
  if (!v.isObject()) return false;
  Box b = boxOf(vm, v);
  *x = b.x, *y = b.y, *w = b.w, *h = b.h;
  return true;
}
bool readPoint(Vm& vm, const Value& v, double* x, double* y) {
  if (!v.isObject()) return false;
  *x = field(vm, v, "x"), *y = field(vm, v, "y");
  return true;
}

ColorTransform colorTransformOf(Vm& vm, const Value& v) {
  ColorTransform cx;
  if (!v.isObject()) return cx;
  auto n = [&](const char* name, double fallback) {
    double d = vm.toNumber(vm.get(v.obj, name));
    return std::isfinite(d) ? d : fallback;
  };
  auto mult = [&](const char* name) { return int32_t(std::clamp(n(name, 1) * 256, -1e6, 1e6)); };
  auto add = [&](const char* name) { return int32_t(std::clamp(n(name, 0), -1e6, 1e6)); };
  cx.rMult = mult("redMultiplier"), cx.gMult = mult("greenMultiplier"), cx.bMult = mult("blueMultiplier");
  cx.aMult = mult("alphaMultiplier"), cx.rAdd = add("redOffset"), cx.gAdd = add("greenOffset");
  cx.bAdd = add("blueOffset"), cx.aAdd = add("alphaOffset");
  return cx;
}

Value newColorTransform(Vm& vm, const ColorTransform& cx) {
  return makeInstance(vm, "ColorTransform",
                      {Value(cx.rMult / 256.0), Value(cx.gMult / 256.0), Value(cx.bMult / 256.0), Value(cx.aMult / 256.0),
                       Value(double(cx.rAdd)), Value(double(cx.gAdd)), Value(double(cx.bAdd)), Value(double(cx.aAdd))});
}

void installGeom(Vm& vm, Object* global) {
  Value flash = vm.get(global, "flash");
  if (!flash.isObject()) {
    flash = Value(vm.newObject());
    vm.defineOwn(global, "flash", flash, kDontEnum);
  }
  Object* package = vm.newObject();
  vm.defineOwn(flash.obj, "geom", Value(package), kDontEnum);

  Object* point = vm.newObject();
  Function* pointCtor = makeClass(vm, package, "Point", pointInit, nullptr, point);
  method(vm, pointCtor, "distance", pointDistance);
  method(vm, pointCtor, "interpolate", pointInterpolate);
  method(vm, pointCtor, "polar", pointPolar);
  for (auto [name, fn] : {std::pair<const char*, NativeFn>{"add", pointAdd}, {"subtract", pointSubtract}, {"clone", pointClone},
                          {"equals", pointEquals}, {"normalize", pointNormalize}, {"offset", pointOffset},
                          {"toString", pointToString}})
    method(vm, point, name, fn);
  accessor(vm, point, "length", pointLength, nullptr);

  Object* rect = vm.newObject();
  makeClass(vm, package, "Rectangle", rectInit, nullptr, rect);
  for (auto [name, fn] :
       {std::pair<const char*, NativeFn>{"clone", rectClone}, {"toString", rectToString}, {"isEmpty", rectIsEmpty},
        {"setEmpty", rectSetEmpty}, {"contains", rectContains}, {"containsPoint", rectContainsPoint},
        {"containsRectangle", rectContainsRectangle}, {"equals", rectEquals}, {"intersection", rectIntersection},
        {"intersects", rectIntersects}, {"union", rectUnion}, {"inflate", rectInflate},
        {"inflatePoint", rectInflatePoint}, {"offset", rectOffset}, {"offsetPoint", rectOffsetPoint}})
    method(vm, rect, name, fn);
  accessor(vm, rect, "left", rectLeft, rectSetLeft);
  accessor(vm, rect, "top", rectTop, rectSetTop);
  accessor(vm, rect, "right", rectRight, rectSetRight);
  accessor(vm, rect, "bottom", rectBottom, rectSetBottom);
  accessor(vm, rect, "topLeft", rectTopLeft, rectSetTopLeft);
  accessor(vm, rect, "bottomRight", rectBottomRight, rectSetBottomRight);
  accessor(vm, rect, "size", rectSize, rectSetSize);

  Object* matrix = vm.newObject();
  makeClass(vm, package, "Matrix", matrixInit, nullptr, matrix);
  for (auto [name, fn] :
       {std::pair<const char*, NativeFn>{"clone", matrixClone}, {"toString", matrixToString}, {"identity", matrixIdentity},
        {"concat", matrixConcat}, {"translate", matrixTranslate}, {"scale", matrixScale}, {"rotate", matrixRotate},
        {"invert", matrixInvert}, {"createBox", matrixCreateBox}, {"createGradientBox", matrixCreateGradientBox},
        {"transformPoint", matrixTransformPoint}, {"deltaTransformPoint", matrixDeltaTransformPoint}})
    method(vm, matrix, name, fn);

  Object* color = vm.newObject();
  makeClass(vm, package, "ColorTransform", colorInit, nullptr, color);
  method(vm, color, "toString", colorToString);
  method(vm, color, "concat", colorConcat);
  accessor(vm, color, "rgb", colorRgb, colorSetRgb);
  installTransform(vm, package);
}

}  // namespace vorlo::player::avm1
