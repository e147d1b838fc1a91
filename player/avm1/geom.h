// flash.geom objects as the other built-ins make and read them (BitmapData, clips' transform).
#pragma once
#include "player/avm1/vm.h"
#include "player/swf/geometry.h"

namespace vorlo::player::avm1 {

void installGeom(Vm& vm, Object* global);

Value newPoint(Vm& vm, double x, double y);
Value newRectangle(Vm& vm, double x, double y, double w, double h);
Value newMatrix(Vm& vm, const Matrix& m);
// The fields of a Matrix-like object (missing ones are NaN).
Matrix matrixOf(Vm& vm, const Value& v);
// x, y, width and height of a Rectangle-like object; false when `v` is no object.
bool readRect(Vm& vm, const Value& v, double* x, double* y, double* w, double* h);
bool readPoint(Vm& vm, const Value& v, double* x, double* y);
// A ColorTransform-like object as the core's colour transform (missing fields: identity), and back.
ColorTransform colorTransformOf(Vm& vm, const Value& v);
Value newColorTransform(Vm& vm, const ColorTransform& cx);
// flash.geom.Transform and clips' `transform` (transform.cpp).
void installTransform(Vm& vm, Object* geom);

}  // namespace vorlo::player::avm1
