// The Sound object: new Sound([target]), attachSound(export name) takes a sound of the movie's
// library, start([seconds offset [, loops]]) plays it, stop([export name]) stops that sound or
// every sound, duration gives its length in milliseconds, and setVolume/setPan with their getters
// set the level and balance. The player's one mixer has a single level for every sound, so the
// level and balance reach the output for a Sound of the whole movie (no target, or the root);
// one made for another clip keeps its numbers without changing what is heard.
#include <algorithm>
#include <cmath>

#include "player/avm1/natives.h"
#include "player/avm1/sound_api.h"

namespace vorlo::player::avm1 {

namespace {

// The library sound exported as `name`, or 0.
uint16_t exportedSound(Vm& vm, const Value& name) {
  const Movie* movie = vm.stage().movie;
  if (!movie || !name.isString()) return 0;
  std::string k = vm.key(name.str);
  for (auto& [exported, id] : movie->exports)
    if (vm.key(exported) == k && movie->find<Sound>(id)) return id;
  return 0;
}

uint16_t attached(Vm& vm, const Value& self) {
  if (!self.isObject()) return 0;
  Value id = vm.get(self.obj, "__sound");
  return id.isNumber() ? uint16_t(id.num) : 0;
}

double level(Vm& vm, const Value& self, const char* which, double fallback) {
  Value v = self.isObject() ? vm.get(self.obj, which) : Value();
  return v.isNumber() ? v.num : fallback;
}

// A Sound of the whole movie: made without a target, or for the root.
bool wholeMovie(Vm& vm, const Value& self) {
  Value target = self.isObject() ? vm.get(self.obj, "__target") : Value();
  if (!target.isObject()) return true;
  return target.obj->kind == Kind::Clip && static_cast<ClipObject*>(target.obj)->display == &vm.rootClip();
}

void apply(Vm& vm, const Value& self) {
  if (vm.soundOutput && wholeMovie(vm, self))
    vm.soundOutput->setTransform(int(level(vm, self, "__volume", 100)), int(level(vm, self, "__pan", 0)));
}

Value construct(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!self.isObject()) return {};
  const Value& target = arg(args, 0);
  if (target.isObject()) vm.defineOwn(self.obj, "__target", target, kDontEnum);
  return {};
}

Value attachSound(Vm& vm, Value& self, std::vector<Value>& args) {
  uint16_t id = exportedSound(vm, arg(args, 0));
  if (self.isObject() && id) vm.defineOwn(self.obj, "__sound", Value(double(id)), kDontEnum);
  return {};
}

Value start(Vm& vm, Value& self, std::vector<Value>& args) {
  uint16_t id = attached(vm, self);
  if (!id || !vm.soundOutput) return {};
  double offset = args.empty() ? 0 : vm.toNumber(args[0]);
  double loops = args.size() < 2 ? 1 : vm.toNumber(args[1]);
  if (!std::isfinite(offset) || offset < 0) offset = 0;
  if (!std::isfinite(loops) || loops < 1) loops = 1;
  vm.soundOutput->start(id, offset, int(std::min(loops, 32767.0)));
  return {};
}

Value stop(Vm& vm, Value& self, std::vector<Value>& args) {
  if (!vm.soundOutput) return {};
  if (args.empty()) {
    vm.soundOutput->stop(0);
  } else if (uint16_t id = exportedSound(vm, args[0])) {
    vm.soundOutput->stop(id);
  }
  return {};
}

Value duration(Vm& vm, Value& self, std::vector<Value>&) {
  uint16_t id = attached(vm, self);
  if (!id) return {};
  return Value(vm.soundOutput ? std::round(vm.soundOutput->durationMillis(id)) : 0.0);
}

Value setLevel(Vm& vm, Value& self, const char* which, const Value& v, double low, double high) {
  double n = vm.toNumber(v);
  if (!self.isObject() || !std::isfinite(n)) return {};
  vm.defineOwn(self.obj, which, Value(std::trunc(std::clamp(n, low, high))), kDontEnum);
  apply(vm, self);
  return {};
}

Value setVolume(Vm& vm, Value& self, std::vector<Value>& args) {
  return setLevel(vm, self, "__volume", arg(args, 0), 0, 100);
}
Value getVolume(Vm& vm, Value& self, std::vector<Value>&) { return Value(level(vm, self, "__volume", 100)); }
Value setPan(Vm& vm, Value& self, std::vector<Value>& args) { return setLevel(vm, self, "__pan", arg(args, 0), -100, 100); }
Value getPan(Vm& vm, Value& self, std::vector<Value>&) { return Value(level(vm, self, "__pan", 0)); }

}  // namespace

void installSound(Vm& vm, Object* global) {
  Object* proto = vm.newObject();
  makeClass(vm, global, "Sound", construct, nullptr, proto);
  method(vm, proto, "attachSound", attachSound);
  method(vm, proto, "start", start);
  method(vm, proto, "stop", stop);
  method(vm, proto, "setVolume", setVolume);
  method(vm, proto, "getVolume", getVolume);
  method(vm, proto, "setPan", setPan);
  method(vm, proto, "getPan", getPan);
  accessor(vm, proto, "duration", duration, nullptr);
}

}  // namespace vorlo::player::avm1
