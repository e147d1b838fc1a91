#include "player/view.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace vorlo::player {

uint8_t alignFromText(const char* text) {
  uint8_t bits = 0;
  for (const char* p = text; p && *p; ++p) {
    switch (std::toupper(static_cast<unsigned char>(*p))) {
      case 'L': bits |= AlignLeft; break;
      case 'R': bits |= AlignRight; break;
      case 'T': bits |= AlignTop; break;
      case 'B': bits |= AlignBottom; break;
      default: break;
    }
  }
  return bits;
}

namespace {
// Where the movie's span starts in the view: at the low edge, the high edge or centred.
double placeSpan(double view, double span, bool low, bool high) {
  if (low && !high) return 0;
  if (high && !low) return view - span;
  return (view - span) / 2;
}
}  // namespace

Matrix viewMatrix(const Rect& shown, int width, int height, ScaleMode scale, uint8_t align) {
  const double movieW = (shown.xMax - shown.xMin) / 20.0, movieH = (shown.yMax - shown.yMin) / 20.0;
  if (!(movieW > 0) || !(movieH > 0) || width <= 0 || height <= 0) return Matrix{0.05, 0, 0, 0.05, 0, 0};
  double sx = width / movieW, sy = height / movieH;
  switch (scale) {
    case ScaleMode::ShowAll: sx = sy = std::min(sx, sy); break;
    case ScaleMode::NoBorder: sx = sy = std::max(sx, sy); break;
    case ScaleMode::ExactFit: break;
    case ScaleMode::NoScale: sx = sy = 1; break;
  }
  const double offsetX = placeSpan(width, movieW * sx, align & AlignLeft, align & AlignRight);
  const double offsetY = placeSpan(height, movieH * sy, align & AlignTop, align & AlignBottom);
  return Matrix{sx / 20, 0, 0, sy / 20, offsetX - shown.xMin * sx / 20, offsetY - shown.yMin * sy / 20};
}

Rect zoomedView(const Rect& shown, const Rect& frame, double percent) {
  if (!(percent > 0) || !std::isfinite(percent) || shown.empty()) return frame;
  double w = (shown.xMax - shown.xMin) * percent / 100, h = (shown.yMax - shown.yMin) * percent / 100;
  // Never less than a twip across; never more than a hundred frames (then the whole frame).
  if (const double least = std::min(w, h); least < 1) w /= least, h /= least;
  if (w > (frame.xMax - frame.xMin) * 100 || h > (frame.yMax - frame.yMin) * 100) return frame;
  const double cx = (shown.xMin + shown.xMax) / 2, cy = (shown.yMin + shown.yMax) / 2;
  return Rect{cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2};
}

Rect pannedView(const Rect& shown, const Rect& frame, double dx, double dy) {
  if (shown.empty() || !std::isfinite(dx) || !std::isfinite(dy)) return shown;
  auto keep = [](double lo, double hi, double d, double frameLo, double frameHi) {
    // A view narrower than the frame stays over it; a wider one does not move.
    if (hi - lo >= frameHi - frameLo) return 0.0;
    return std::clamp(d, frameLo - lo, frameHi - hi);
  };
  const double mx = keep(shown.xMin, shown.xMax, dx, frame.xMin, frame.xMax);
  const double my = keep(shown.yMin, shown.yMax, dy, frame.yMin, frame.yMax);
  return Rect{shown.xMin + mx, shown.yMin + my, shown.xMax + mx, shown.yMax + my};
}

}  // namespace vorlo::player
