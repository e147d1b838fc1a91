// Clips as scripts see them: target paths, the numbered properties (_x, _alpha...), children by
// instance name, and the MovieClip methods.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <limits>

#include "player/avm1/text.h"
#include "player/avm1/text_api.h"
#include "player/avm1/vm.h"
#include "player/display/hit_test.h"

namespace vorlo::player::avm1 {

namespace {

constexpr int kDepthOffset = 16384;  // script depth 0 is display depth 16384

const char* const kPropertyNames[] = {"_x",        "_y",         "_xscale",     "_yscale",      "_currentframe",
                                      "_totalframes", "_alpha",  "_visible",    "_width",       "_height",
                                      "_rotation", "_target",    "_framesloaded", "_name",      "_droptarget",
                                      "_url",      "_highquality", "_focusrect", "_soundbuftime", "_quality",
                                      "_xmouse",   "_ymouse"};
constexpr int kPropertyCount = 22;

int propertyIndex(const std::string& name) {
  if (name.empty() || name[0] != '_') return -1;
  for (int i = 0; i < kPropertyCount; ++i) {
    const char* p = kPropertyNames[i];
    size_t n = std::char_traits<char>::length(p);
    if (n != name.size()) continue;
    bool same = true;
    for (size_t j = 0; j < n && same; ++j)
      same = std::tolower(static_cast<unsigned char>(name[j])) == p[j];
    if (same) return i;
  }
  return -1;
}

bool sameName(const std::string& a, const std::string& b, bool caseSensitive) {
  if (a.size() != b.size()) return false;
  if (caseSensitive) return a == b;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool findPath(DisplayObject& from, DisplayObject& wanted, std::vector<DisplayObject*>& path) {
  path.push_back(&from);
  if (&from == &wanted) return true;
  if (const DisplayList* list = from.children())
    for (auto& [depth, child] : *list)
      if (findPath(*child, wanted, path)) return true;
  path.pop_back();
  return false;
}

// A coordinate in pixels as the stage keeps it: whole twips in 32 bits. Values beyond that range
// (and infinities) end up at the lowest 32-bit value, as in the reference player.
double toTwips(double pixels) {
  double t = std::round(pixels * 20);
  if (!(t >= -2147483648.0 && t < 2147483648.0)) t = -2147483648.0;
  return t;
}

// Where a display object's own origin sits: a text field's position is the corner of its bounds.
Matrix fieldOrigin(const DisplayObject& d) {
  Matrix m = d.matrix;
  if (auto* field = dynamic_cast<const EditTextObject*>(&d)) {
    Rect b = field->bounds();
    m.tx += m.a * b.xMin + m.c * b.yMin;
    m.ty += m.b * b.xMin + m.d * b.yMin;
  }
  return m;
}

}  // namespace

ClipObject::ClipObject(Vm& v, DisplayObject* d) : Object(Kind::Clip), vm(v), display(d) {}

ClipObject::~ClipObject() {
  if (display) display->scriptPeer = nullptr;
}

void ClipObject::displayObjectGone(DisplayObject&) {
  display = nullptr;
  vm.forgetClip(this);
}

ClipObject* Vm::clipObject(DisplayObject& d) {
  if (d.scriptPeer) return static_cast<ClipObject*>(d.scriptPeer);
  auto* c = new ClipObject(*this, &d);
  heap_.push_back(c);
  clips_.insert(c);
  d.scriptPeer = c;
  if (dynamic_cast<MovieClip*>(&d)) c->proto = clipProto;
  else if (d.children()) c->proto = buttonProto;
  else c->proto = textFieldProto ? textFieldProto : objectProto;
  return c;
}

ClipObject* Vm::scriptObjectOf(DisplayObject& d) {
  if (version < 6 && !dynamic_cast<MovieClip*>(&d) && d.children())
    if (DisplayObject* holder = parentOf(d)) return clipObject(*holder);
  return clipObject(d);
}

void Vm::gotoFrame(MovieClip& clip, int frame) {
  frame = std::clamp(frame, 1, std::max(1, clip.frameCount()));
  const MovieClip* savedClip = gotoClip_;
  int savedTarget = gotoTarget_;
  gotoClip_ = &clip;
  gotoTarget_ = frame;
  clip.gotoFrame(frame);
  gotoClip_ = savedClip;
  gotoTarget_ = savedTarget;
}

bool Vm::applyRegisteredClass(ClipObject* c) {
  if (registeredClasses.empty() || !c->display || !stage_.movie) return false;
  uint16_t id = c->display->characterId();
  if (!id) return false;
  for (auto& [name, character] : stage_.movie->exports) {
    if (character != id) continue;
    auto it = registeredClasses.find(key(name));
    if (it == registeredClasses.end()) continue;
    Value protoV = get(it->second, "prototype");
    if (protoV.isObject()) c->proto = protoV.obj;
    try {
      call(Value(it->second), Value(static_cast<Object*>(c)), {}, c->proto);
    } catch (ScriptThrow&) {
    } catch (ScriptAbort& abort) {
      warn(abort.reason);
    }
    return true;
  }
  return false;
}

void Vm::forgetClip(ClipObject* c) {
  if (clips_.erase(c)) gone_.push_back(c);
}

void ClipObject::markChildren(Vm& vm) {
  (void)vm;
}

DisplayObject* Vm::parentOf(DisplayObject& d, int* depthOut) {
  std::vector<DisplayObject*> path;
  if (!findPath(root_, d, path) || path.size() < 2) return nullptr;
  DisplayObject* parent = path[path.size() - 2];
  if (depthOut)
    for (auto& [depth, child] : *parent->children())
      if (child.get() == &d) *depthOut = depth;
  return parent;
}

DisplayObject* Vm::childByName(DisplayObject& parent, const std::string& name) {
  const DisplayList* list = parent.children();
  if (!list) return nullptr;
  for (auto& [depth, child] : *list)
    if (!child->name.empty() && sameName(child->name, name, caseSensitive())) return child.get();
  return nullptr;
}

std::string Vm::targetPath(DisplayObject& d) {
  std::vector<DisplayObject*> path;
  if (!findPath(root_, d, path)) return "";
  std::string out = "_level0";
  for (size_t i = 1; i < path.size(); ++i) out += "." + path[i]->name;
  return out;
}

std::string Vm::slashPath(DisplayObject& d) {
  std::vector<DisplayObject*> path;
  if (!findPath(root_, d, path)) return "";
  if (path.size() == 1) return "/";
  std::string out;
  for (size_t i = 1; i < path.size(); ++i) out += "/" + path[i]->name;
  return out;
}

Object* Vm::resolvePath(Activation& a, const std::string& path) {
  Object* start = a.target ? static_cast<Object*>(a.target) : a.base;
  if (path.empty()) return start;
  Object* cur = start;
  size_t i = 0;
  if (path[0] == '/') {
    cur = clipObject(root_);
    i = 1;
  }
  bool first = i == 0;
  while (i < path.size() && cur) {
    if (path.compare(i, 2, "..") == 0) {
      auto* c = cur->kind == Kind::Clip ? static_cast<ClipObject*>(cur) : nullptr;
      DisplayObject* p = c && c->display ? parentOf(*c->display) : nullptr;
      cur = p ? scriptObjectOf(*p) : nullptr;
      i += 2;
    } else {
      size_t j = path.find_first_of("/.:", i);
      if (j == std::string::npos) j = path.size();
      std::string seg = path.substr(i, j - i);
      i = j;
      if (!seg.empty()) {
        std::string k = key(seg);
        if (first && (k == "_root" || k == "_level0")) cur = clipObject(root_);
        else if (first && k == "_global") cur = global_;
        else if (first && k == "this") cur = a.self.isObject() ? a.self.obj : cur;
        else {
          Value v = cur->kind == Kind::Clip || cur->kind == Kind::Object ? get(cur, seg) : Value();
          if (!v.isObject() && first) {
            // The first name of a dotted path may be a variable in scope.
            for (auto it = a.scope.rbegin(); it != a.scope.rend() && !v.isObject(); ++it) {
              bool found;
              Value w = lookup(*it, seg, &found, nullptr, Value(*it));
              if (found) v = w;
            }
          }
          cur = v.isObject() ? v.obj : nullptr;
        }
      }
    }
    first = false;
    if (i < path.size()) {
      if (path[i] == ':') break;
      ++i;  // the separator
    }
  }
  return cur;
}

Value Vm::getClipProperty(ClipObject& c, int index) {
  DisplayObject* d = c.display;
  if (!d) return {};
  MovieClip* mc = c.clip();
  const Matrix& m = d->matrix;
  switch (index) {
    case 0: return Value(fieldOrigin(*d).tx / 20);
    case 1: return Value(fieldOrigin(*d).ty / 20);
    case 2: return Value(c.cachedTransform ? c.xscale : std::hypot(m.a, m.b) * 100);
    case 3: return Value(c.cachedTransform ? c.yscale : std::hypot(m.c, m.d) * 100);
    case 4: return Value(double(mc ? std::max(1, mc->currentFrame()) : 1));
    case 5:
    case 12: return Value(double(mc ? mc->frameCount() : 1));
    case 6: return Value(d->colorTransform.aMult / 256.0 * 100);
    case 7: return Value(d->visible);
    case 8:
    case 9: {
      // The reference player keeps bounds in whole twips: each edge of the transformed box is
      // rounded before the size is taken.
      Rect b = m.apply(d->bounds());
      if (b.empty()) return Value(0.0);
      if (index == 8) return Value((std::round(b.xMax) - std::round(b.xMin)) / 20);
      return Value((std::round(b.yMax) - std::round(b.yMin)) / 20);
    }
    case 10: {
      if (c.cachedTransform) return Value(c.rotation);
      return Value(std::atan2(m.b, m.a) * 180 / std::numbers::pi);
    }
    case 11: return Value(slashPath(*d));
    case 13: return Value(d->name);
    case 14: return Value("");
    case 15: return Value("");
    case 16: return Value(double(highQuality == 3 ? 1 : highQuality));
    case 17:
      // The player's setting (a number before SWF 6); from SWF 6 clips below the root have their
      // own, null until set.
      if (version <= 5) return Value(focusRect ? 1.0 : 0.0);
      if (d == &root_) return Value(focusRect);
      return c.focusRect < 0 ? Value::null() : Value(c.focusRect != 0);
    case 18: return Value(soundBufferTime);
    case 19: return Value(highQuality == 0 ? "LOW" : highQuality == 2 ? "BEST" : highQuality == 3 ? "MEDIUM" : "HIGH");
    case 20:
    case 21: {
      // The pointer in the clip's own space.
      Matrix toRoot, fromRoot;
      if (!matrixToRoot(root_, *d, toRoot) || !toRoot.invert(fromRoot)) return Value(0.0);
      Point p = fromRoot.apply(stage_.input.mouse);
      return Value((index == 20 ? p.x : p.y) / 20);
    }
  }
  return {};
}

void Vm::setClipProperty(ClipObject& c, int index, const Value& v) {
  DisplayObject* d = c.display;
  if (!d) return;
  Matrix& m = d->matrix;
  auto cache = [&]() {
    if (c.cachedTransform) return;
    c.xscale = std::hypot(m.a, m.b) * 100;
    c.yscale = std::hypot(m.c, m.d) * 100;
    c.rotation = std::atan2(m.b, m.a) * 180 / std::numbers::pi;
    c.cachedTransform = true;
  };
  auto rebuild = [&]() {
    double r = c.rotation * std::numbers::pi / 180;
    double sx = c.xscale / 100, sy = c.yscale / 100;
    m.a = sx * std::cos(r);
    m.b = sx * std::sin(r);
    m.c = -sy * std::sin(r);
    m.d = sy * std::cos(r);
  };
  // Properties take no undefined or null: those leave the value as it is.
  // Names, quality and the focus rectangle are not numbers: they take no valueOf.
  bool numeric = index != 13 && index != 19 && !(index == 17 && v.isObject());
  double n = v.isNullish() || !numeric ? std::numeric_limits<double>::quiet_NaN() : toNumber(v);
  switch (index) {
    case 0:
      if (!std::isnan(n)) m.tx = toTwips(n) - (fieldOrigin(*d).tx - m.tx);
      break;
    case 1:
      if (!std::isnan(n)) m.ty = toTwips(n) - (fieldOrigin(*d).ty - m.ty);
      break;
    case 2:
      if (std::isnan(n)) break;
      cache();
      c.xscale = n;
      rebuild();
      break;
    case 3:
      if (std::isnan(n)) break;
      cache();
      c.yscale = n;
      rebuild();
      break;
    case 6:
      // Alpha is kept as an 8.8 fixed-point multiplier in 16 bits.
      if (!std::isnan(n)) d->colorTransform.aMult = std::isfinite(n) ? int16_t(toInt32(n * 256 / 100)) : 0;
      break;
    case 7:
      if (!std::isnan(n)) d->visible = n != 0;
      if (!d->visible) focusLost(*this, &c);  // hidden objects lose the focus
      break;
    case 8:
    case 9: {
      if (!std::isfinite(n) || n < 0) break;
      if (auto* field = dynamic_cast<EditTextObject*>(d)) {  // fields change their size, not their scale
        Rect b = field->bounds();
        field->setSize(index == 8 ? n * 20 : b.xMax - b.xMin, index == 9 ? n * 20 : b.yMax - b.yMin);
        break;
      }
      Rect own = d->bounds();
      if (own.empty()) break;
      cache();
      double size = index == 8 ? (own.xMax - own.xMin) / 20 : (own.yMax - own.yMin) / 20;
      if (size <= 0) break;
      if (index == 8) c.xscale = n / size * 100;
      else c.yscale = n / size * 100;
      rebuild();
      break;
    }
    case 10: {
      if (std::isnan(n)) break;
      cache();
      double r = std::fmod(n, 360);  // infinities give NaN, as in the reference player
      if (r > 180) r -= 360;
      else if (r < -180) r += 360;
      c.rotation = r;
      rebuild();
      break;
    }
    case 13:
      // From SWF 7 a NaN names the clip "0", as in the reference player.
      d->name = version >= 7 && v.isNumber() && std::isnan(v.num) ? "0" : toString(v);
      break;
    case 16:
      if (!std::isnan(n)) {
        double t = std::trunc(n);
        highQuality = t == 0 ? 0 : t >= 2 ? 2 : 1;
      }
      break;
    case 17:
      if (version >= 6 && d != &root_) c.focusRect = v.isNullish() ? -1 : toBool(v) ? 1 : 0;
      else if (v.isObject()) focusRect = false;
      else if (!std::isnan(n)) focusRect = n != 0;
      break;
    case 18:
      if (!std::isnan(n)) soundBufferTime = std::isfinite(n) ? double(toInt32(n)) : -2147483648.0;
      break;
    case 19: {
      std::string q = toString(v);
      for (char& ch : q) ch = char(std::toupper(static_cast<unsigned char>(ch)));
      if (q == "LOW") highQuality = 0;
      else if (q == "HIGH") highQuality = 1;
      else if (q == "BEST") highQuality = 2;
      else if (q == "MEDIUM") highQuality = 3;
      break;
    }
    default: break;  // read-only
  }
}

bool ClipObject::getSpecial(Vm& vm, const std::string& name, Value& out) {
  if (!display) return false;
  int index = propertyIndex(name);
  if (index >= 0) {
    out = vm.getClipProperty(*this, index);
    return true;
  }
  std::string k = vm.key(name);
  if (k == "_parent") {
    DisplayObject* p = vm.parentOf(*display);
    out = p ? Value(static_cast<Object*>(vm.scriptObjectOf(*p))) : Value();
    return true;
  }
  if (k == "_root" || k == "_level0") {
    out = Value(static_cast<Object*>(vm.clipObject(vm.rootClip())));
    return true;
  }
  if (k == "_global" && vm.version >= 6) {
    out = Value(vm.global());
    return true;
  }
  if (DisplayObject* child = vm.childByName(*display, name)) {
    out = Value(static_cast<Object*>(vm.scriptObjectOf(*child)));
    return true;
  }
  return false;
}

bool ClipObject::setSpecial(Vm& vm, const std::string& name, const Value& v) {
  if (!display) return false;
  int index = propertyIndex(name);
  if (index >= 0) {
    vm.setClipProperty(*this, index, v);
    return true;
  }
  return false;
}

bool ClipObject::hasSpecial(Vm& vm, const std::string& name) {
  if (!display) return false;
  if (propertyIndex(name) >= 0) return true;
  std::string k = vm.key(name);
  if (k == "_parent" || k == "_root") return true;
  return vm.childByName(*display, name) != nullptr;
}

void Vm::callMethodIfPresent(DisplayObject& target, const std::string& method) {
  ClipObject* c = clipObject(target);
  Value fn = get(c, method);
  if (!fn.isObject() || fn.obj->kind != Kind::Function) return;
  try {
    callMethod(Value(static_cast<Object*>(c)), method, {});
  } catch (ScriptThrow&) {
  } catch (ScriptAbort& abort) {
    warn(abort.reason);
  }
}

}  // namespace vorlo::player::avm1
