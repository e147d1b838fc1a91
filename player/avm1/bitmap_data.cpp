// flash.display.BitmapData of the SWF 8 player: a pixel buffer in the renderer's own model
// (0xAARRGGBB premultiplied), read and written by scripts in straight colours. Sizes are bounded
// as the reference player bounds them (1 to 2880 on each side); a bitmap of another size, or one
// that was disposed, answers -1 for its size and does nothing.
#include <cmath>

#include "player/avm1/geom.h"
#include "player/avm1/natives.h"
#include "player/display/painter.h"
#include "player/render/pixel.h"

namespace vorlo::player::avm1 {

namespace {

constexpr int kMaxSide = 2880;

class BitmapDataObject : public Object {
 public:
  Surface pixels;
  bool transparent = true;
  bool valid() const { return pixels.width > 0; }
  bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < pixels.width && y < pixels.height; }
  // Straight ARGB in, stored premultiplied; an opaque bitmap keeps every pixel opaque.
  uint32_t stored(uint32_t argb) const {
    if (!transparent) argb |= 0xFF000000u;
    return px::premultiplied(Rgba{uint8_t(argb >> 16), uint8_t(argb >> 8), uint8_t(argb), uint8_t(argb >> 24)});
  }
  uint32_t straightAt(int x, int y) const {
    Rgba c = px::straight(pixels.row(y)[x]);
    return uint32_t(c.a) << 24 | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b;
  }
};

BitmapDataObject* bitmapOf(const Value& v) {
  auto* b = v.isObject() ? dynamic_cast<BitmapDataObject*>(v.obj) : nullptr;
  return b && b->valid() ? b : nullptr;
}

Object* bitmapProto(Vm& vm) {
  Value flash = vm.get(vm.global(), "flash");
  Value display = flash.isObject() ? vm.get(flash.obj, "display") : Value();
  Value ctor = display.isObject() ? vm.get(display.obj, "BitmapData") : Value();
  Value proto = ctor.isObject() ? vm.get(ctor.obj, "prototype") : Value();
  return proto.isObject() ? proto.obj : vm.objectProto;
}

BitmapDataObject* newBitmap(Vm& vm, int width, int height, bool transparent) {
  auto* b = vm.make<BitmapDataObject>();
  b->proto = bitmapProto(vm);
  b->transparent = transparent;
  if (width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide) b->pixels = Surface(width, height);
  return b;
}

int intArg(Vm& vm, const std::vector<Value>& args, size_t i) {
  double n = vm.toNumber(arg(args, i));
  return std::isfinite(n) ? int(std::clamp(std::trunc(n), -1e9, 1e9)) : 0;
}

Value construct(Vm& vm, Value&, std::vector<Value>& args) {
  int w = intArg(vm, args, 0), h = intArg(vm, args, 1);
  bool transparent = args.size() > 2 ? vm.toBool(args[2]) : true;
  uint32_t fill = args.size() > 3 ? toUint32(vm.toNumber(args[3])) : 0xFFFFFFFFu;
  BitmapDataObject* b = newBitmap(vm, w, h, transparent);
  if (b->valid()) b->pixels.clear(b->stored(fill));
  return Value(static_cast<Object*>(b));
}

Value getWidth(Vm&, Value& self, std::vector<Value>&) {
  BitmapDataObject* b = bitmapOf(self);
  return Value(b ? double(b->pixels.width) : -1.0);
}
Value getHeight(Vm&, Value& self, std::vector<Value>&) {
  BitmapDataObject* b = bitmapOf(self);
  return Value(b ? double(b->pixels.height) : -1.0);
}
Value getTransparent(Vm&, Value& self, std::vector<Value>&) {
  BitmapDataObject* b = bitmapOf(self);
  return b ? Value(b->transparent) : Value(-1.0);
}
Value getRectangle(Vm& vm, Value& self, std::vector<Value>&) {
  BitmapDataObject* b = bitmapOf(self);
  if (!b) return Value(-1.0);
  return newRectangle(vm, 0, 0, b->pixels.width, b->pixels.height);
}

Value getPixel(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
  if (!b || !b->inside(x, y)) return Value(0.0);
  return Value(double(b->straightAt(x, y) & 0xFFFFFF));
}
Value getPixel32(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
  if (!b || !b->inside(x, y)) return Value(0.0);
  return Value(double(int32_t(b->straightAt(x, y))));
}
Value setPixel(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
  if (!b || !b->inside(x, y)) return {};
  uint32_t keepAlpha = b->straightAt(x, y) & 0xFF000000u;
  b->pixels.row(y)[x] = b->stored(keepAlpha | (toUint32(vm.toNumber(arg(args, 2))) & 0xFFFFFF));
  return {};
}
Value setPixel32(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  int x = intArg(vm, args, 0), y = intArg(vm, args, 1);
  if (!b || !b->inside(x, y)) return {};
  b->pixels.row(y)[x] = b->stored(toUint32(vm.toNumber(arg(args, 2))));
  return {};
}

// A rectangle argument as whole pixels inside the bitmap (empty when it is no rectangle).
IntRect pixelRect(Vm& vm, const BitmapDataObject& b, const Value& rect) {
  double x, y, w, h;
  if (!readRect(vm, rect, &x, &y, &w, &h) || !std::isfinite(x + y + w + h)) return {};
  IntRect r{int(std::clamp(std::floor(x), 0.0, double(b.pixels.width))),
            int(std::clamp(std::floor(y), 0.0, double(b.pixels.height))),
            int(std::clamp(std::floor(x + w), 0.0, double(b.pixels.width))),
            int(std::clamp(std::floor(y + h), 0.0, double(b.pixels.height)))};
  return r;
}

Value fillRect(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  if (!b) return {};
  IntRect r = pixelRect(vm, *b, arg(args, 0));
  uint32_t color = b->stored(toUint32(vm.toNumber(arg(args, 1))));
  for (int y = r.y0; y < r.y1; ++y) std::fill(b->pixels.row(y) + r.x0, b->pixels.row(y) + r.x1, color);
  return {};
}

Value cloneBitmap(Vm& vm, Value& self, std::vector<Value>&) {
  BitmapDataObject* b = bitmapOf(self);
  if (!b) return {};
  BitmapDataObject* copy = newBitmap(vm, b->pixels.width, b->pixels.height, b->transparent);
  copy->pixels = b->pixels;
  return Value(static_cast<Object*>(copy));
}

Value dispose(Vm&, Value& self, std::vector<Value>&) {
  if (BitmapDataObject* b = bitmapOf(self)) b->pixels = Surface();
  return {};
}

// copyPixels(source, sourceRect, destPoint): pixels replaced, not blended.
Value copyPixels(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject *b = bitmapOf(self), *src = bitmapOf(arg(args, 0));
  double dx, dy;
  if (!b || !src || !readPoint(vm, arg(args, 2), &dx, &dy) || !std::isfinite(dx + dy)) return {};
  IntRect r = pixelRect(vm, *src, arg(args, 1));
  int ox = int(std::floor(dx)) - r.x0, oy = int(std::floor(dy)) - r.y0;
  for (int y = r.y0; y < r.y1; ++y)
    for (int x = r.x0; x < r.x1; ++x)
      if (b->inside(x + ox, y + oy)) {
        uint32_t p = src->pixels.row(y)[x];
        b->pixels.row(y + oy)[x + ox] = b->transparent ? p : px::over(0xFF000000u, p);
      }
  return {};
}

// hitTest(firstPoint, alphaThreshold, point or rectangle): a pixel counts when its alpha is above
// the threshold.
Value hitTest(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  double fx, fy;
  if (!b || !readPoint(vm, arg(args, 0), &fx, &fy)) return Value(false);
  uint32_t threshold = toUint32(vm.toNumber(arg(args, 1))) & 0xFF;
  auto hit = [&](int x, int y) { return b->inside(x, y) && px::alpha(b->pixels.row(y)[x]) > threshold; };
  const Value& other = arg(args, 2);
  double x, y, w, h;
  if (other.isObject() && vm.has(other.obj, "width") && readRect(vm, other, &x, &y, &w, &h)) {
    IntRect r = pixelRect(vm, *b, newRectangle(vm, x - fx, y - fy, w, h));
    for (int py = r.y0; py < r.y1; ++py)
      for (int px = r.x0; px < r.x1; ++px)
        if (hit(px, py)) return Value(true);
    return Value(false);
  }
  if (!readPoint(vm, other, &x, &y) || !std::isfinite(x - fx + y - fy)) return Value(false);
  return Value(hit(int(std::floor(x - fx)), int(std::floor(y - fy))));
}

// draw(source, matrix, colorTransform, blendMode, clipRect): a bitmap or a clip drawn over the
// pixels, only inside clipRect when one is given.
Value draw(Vm& vm, Value& self, std::vector<Value>& args) {
  BitmapDataObject* b = bitmapOf(self);
  if (!b) return {};
  Matrix m;
  if (arg(args, 1).isObject()) m = matrixOf(vm, arg(args, 1));
  if (!std::isfinite(m.a + m.b + m.c + m.d + m.tx + m.ty)) return {};
  ColorTransform cx = colorTransformOf(vm, arg(args, 2));
  IntRect clip{0, 0, b->pixels.width, b->pixels.height};
  if (arg(args, 4).isObject()) clip = pixelRect(vm, *b, arg(args, 4));
  if (clip.empty()) return {};

  // The source drawn onto a layer the size of this bitmap, then laid over it inside the clip.
  Surface layer(b->pixels.width, b->pixels.height);
  const Value& source = arg(args, 0);
  if (BitmapDataObject* src = bitmapOf(source)) {
    Matrix inverse;
    if (!m.invert(inverse)) return {};
    for (int y = clip.y0; y < clip.y1; ++y)
      for (int x = clip.x0; x < clip.x1; ++x) {
        Point p = inverse.apply(Point{x + 0.5, y + 0.5});
        int sx = int(std::floor(p.x)), sy = int(std::floor(p.y));
        if (src->inside(sx, sy)) layer.row(y)[x] = src->pixels.row(sy)[sx];
      }
    if (!cx.isIdentity())
      for (uint32_t& p : layer.pixels) p = px::premultiplied(cx.apply(px::straight(p)));
  } else if (source.isObject() && source.obj->kind == Kind::Clip) {
    auto* c = static_cast<ClipObject*>(source.obj);
    const DisplayList* list = c->display ? c->display->children() : nullptr;
    if (!list || !vm.stage().movie) return {};
    Painter painter(layer, *vm.stage().movie, Quality::High, 1, 1);
    painter.drawList(*list, m * Matrix::scale(1.0 / 20, 1.0 / 20), cx);
  } else {
    return {};
  }
  for (int y = clip.y0; y < clip.y1; ++y)
    for (int x = clip.x0; x < clip.x1; ++x) b->pixels.row(y)[x] = px::over(b->pixels.row(y)[x], layer.row(y)[x]);
  return {};
}

Value callWithoutNew(Vm&, Value&, std::vector<Value>&) { return {}; }

}  // namespace

void installBitmapData(Vm& vm, Object* global) {
  Value flash = vm.get(global, "flash");
  if (!flash.isObject()) {
    flash = Value(vm.newObject());
    vm.defineOwn(global, "flash", flash, kDontEnum);
  }
  Object* package = vm.newObject();
  vm.defineOwn(flash.obj, "display", Value(package), kDontEnum);
  Object* proto = vm.newObject();
  makeClass(vm, package, "BitmapData", callWithoutNew, construct, proto);
  accessor(vm, proto, "width", getWidth, nullptr);
  accessor(vm, proto, "height", getHeight, nullptr);
  accessor(vm, proto, "transparent", getTransparent, nullptr);
  accessor(vm, proto, "rectangle", getRectangle, nullptr);
  for (auto [name, fn] : {std::pair<const char*, NativeFn>{"getPixel", getPixel}, {"getPixel32", getPixel32}, {"setPixel", setPixel},
                          {"setPixel32", setPixel32}, {"fillRect", fillRect}, {"clone", cloneBitmap},
                          {"dispose", dispose}, {"copyPixels", copyPixels}, {"hitTest", hitTest}, {"draw", draw}})
    method(vm, proto, name, fn);
}

}  // namespace vorlo::player::avm1
