// flash.geom.Transform and the `transform` property of clips (SWF 8): a live view of one clip's
// matrix (in pixels) and colour transform, read and written as flash.geom objects.
#include <cmath>

#include "player/avm1/geom.h"
#include "player/avm1/natives.h"

namespace vorlo::player::avm1 {

namespace {

class TransformObject : public Object {
 public:
  ClipObject* clip = nullptr;
  void markChildren(Vm& vm) override { markObject(vm, clip); }
};

DisplayObject* displayOf(const Value& self) {
  auto* t = self.isObject() ? dynamic_cast<TransformObject*>(self.obj) : nullptr;
  return t && t->clip ? t->clip->display : nullptr;
}

Matrix inPixels(Matrix m) {
  m.tx /= 20, m.ty /= 20;
  return m;
}

// From the clip's space to the root's, in twips.
Matrix toRoot(Vm& vm, DisplayObject& d) {
  Matrix m = d.matrix;
  int guard = 0;
  for (DisplayObject* p = vm.parentOf(d); p && guard < 1000; p = vm.parentOf(*p), ++guard) m = p->matrix * m;
  return m;
}

ColorTransform concatenatedColors(Vm& vm, DisplayObject& d) {
  ColorTransform cx = d.colorTransform;
  int guard = 0;
  for (DisplayObject* p = vm.parentOf(d); p && guard < 1000; p = vm.parentOf(*p), ++guard) cx = p->colorTransform * cx;
  return cx;
}

Value getMatrix(Vm& vm, Value& self, std::vector<Value>&) {
  DisplayObject* d = displayOf(self);
  return d ? newMatrix(vm, inPixels(d->matrix)) : Value();
}
Value setMatrix(Vm& vm, Value& self, std::vector<Value>& args) {
  DisplayObject* d = displayOf(self);
  if (!d || !arg(args, 0).isObject()) return {};
  Matrix m = matrixOf(vm, arg(args, 0));
  if (!std::isfinite(m.a + m.b + m.c + m.d + m.tx + m.ty)) return {};
  m.tx *= 20, m.ty *= 20;
  d->matrix = m;
  static_cast<TransformObject*>(self.obj)->clip->cachedTransform = false;
  return {};
}
Value getConcatenatedMatrix(Vm& vm, Value& self, std::vector<Value>&) {
  DisplayObject* d = displayOf(self);
  return d ? newMatrix(vm, inPixels(toRoot(vm, *d))) : Value();
}
Value getColorTransform(Vm& vm, Value& self, std::vector<Value>&) {
  DisplayObject* d = displayOf(self);
  return d ? newColorTransform(vm, d->colorTransform) : Value();
}
Value setColorTransform(Vm& vm, Value& self, std::vector<Value>& args) {
  DisplayObject* d = displayOf(self);
  if (d && arg(args, 0).isObject()) d->colorTransform = colorTransformOf(vm, arg(args, 0));
  return {};
}
Value getConcatenatedColorTransform(Vm& vm, Value& self, std::vector<Value>&) {
  DisplayObject* d = displayOf(self);
  return d ? newColorTransform(vm, concatenatedColors(vm, *d)) : Value();
}
Value getPixelBounds(Vm& vm, Value& self, std::vector<Value>&) {
  DisplayObject* d = displayOf(self);
  if (!d) return {};
  Rect b = toRoot(vm, *d).apply(d->bounds());
  if (b.empty()) return newRectangle(vm, 0, 0, 0, 0);
  double x0 = std::floor(b.xMin / 20), y0 = std::floor(b.yMin / 20);
  return newRectangle(vm, x0, y0, std::ceil(b.xMax / 20) - x0, std::ceil(b.yMax / 20) - y0);
}

Object* transformProto(Vm& vm) {
  Value flash = vm.get(vm.global(), "flash");
  Value geom = flash.isObject() ? vm.get(flash.obj, "geom") : Value();
  Value ctor = geom.isObject() ? vm.get(geom.obj, "Transform") : Value();
  Value proto = ctor.isObject() ? vm.get(ctor.obj, "prototype") : Value();
  return proto.isObject() ? proto.obj : vm.objectProto;
}

Value makeTransform(Vm& vm, const Value& clip) {
  if (!clip.isObject() || clip.obj->kind != Kind::Clip) return {};
  auto* t = vm.make<TransformObject>();
  t->proto = transformProto(vm);
  t->clip = static_cast<ClipObject*>(clip.obj);
  return Value(static_cast<Object*>(t));
}

Value construct(Vm& vm, Value&, std::vector<Value>& args) { return makeTransform(vm, arg(args, 0)); }
Value callWithoutNew(Vm&, Value&, std::vector<Value>&) { return {}; }

// clip.transform: a new view each time; assigning a Transform copies its matrix and colours.
Value clipTransform(Vm& vm, Value& self, std::vector<Value>&) { return makeTransform(vm, self); }
Value setClipTransform(Vm& vm, Value& self, std::vector<Value>& args) {
  Value view = makeTransform(vm, self);
  DisplayObject* from = displayOf(arg(args, 0));
  if (!view.isObject() || !from) return {};
  std::vector<Value> m = {newMatrix(vm, inPixels(from->matrix))}, cx = {newColorTransform(vm, from->colorTransform)};
  setMatrix(vm, view, m);
  setColorTransform(vm, view, cx);
  return {};
}

}  // namespace

void installTransform(Vm& vm, Object* geom) {
  Object* proto = vm.newObject();
  makeClass(vm, geom, "Transform", callWithoutNew, construct, proto);
  accessor(vm, proto, "matrix", getMatrix, setMatrix);
  accessor(vm, proto, "concatenatedMatrix", getConcatenatedMatrix, nullptr);
  accessor(vm, proto, "colorTransform", getColorTransform, setColorTransform);
  accessor(vm, proto, "concatenatedColorTransform", getConcatenatedColorTransform, nullptr);
  accessor(vm, proto, "pixelBounds", getPixelBounds, nullptr);
  if (vm.clipProto) accessor(vm, vm.clipProto, "transform", clipTransform, setClipTransform, kDontEnum, 8);
}

}  // namespace vorlo::player::avm1
