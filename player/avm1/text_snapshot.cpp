// TextSnapshot: the characters of the static texts (DefineText) that are children of a clip, in
// depth order, found through their fonts' glyph codes, read when the snapshot is made (it keeps
// them when the clip goes). A snapshot of no clip answers undefined. MovieClip.getTextSnapshot
// constructs whatever _global.TextSnapshot is at the time with the clip.
#include <algorithm>
#include <cmath>

#include "player/avm1/text.h"
#include "player/avm1/text_api.h"

namespace vorlo::player::avm1 {

namespace {

constexpr size_t kMaxSnapshot = size_t(1) << 22;  // characters a snapshot reads

struct SnapshotText {
  std::u16string text;
  std::vector<size_t> lineStarts;  // positions where a new text object or record line begins
};

class SnapshotObject : public Object {
 public:
  bool valid = false;  // made for a clip
  SnapshotText content;
};

const SnapshotObject* snapshotOf(const Value& self) {
  auto* o = self.isObject() ? dynamic_cast<SnapshotObject*>(self.obj) : nullptr;
  return o && o->valid ? o : nullptr;
}

SnapshotText read(Vm& vm, MovieClip* clip) {
  SnapshotText out;
  const Movie* movie = vm.stage().movie;
  if (!clip || !movie) return out;
  for (const auto& [depth, child] : clip->mutableChildren()) {
    const StaticText* text = movie->find<StaticText>(child->characterId());
    if (!text) continue;
    double lastY = 0;
    bool first = true;
    for (const TextRecord& r : text->records) {
      const Font* font = movie->find<Font>(r.fontId);
      if (!out.text.empty() && (first || r.y != lastY)) out.lineStarts.push_back(out.text.size());
      first = false;
      lastY = r.y;
      for (const TextGlyph& g : r.glyphs) {
        if (out.text.size() >= kMaxSnapshot) return out;
        out.text.push_back(font && g.index < font->glyphs.size() ? char16_t(font->glyphs[g.index].code) : u'?');
      }
    }
  }
  return out;
}

Value construct(Vm& vm, Value&, std::vector<Value>& args) {
  auto* o = vm.make<SnapshotObject>();
  o->proto = textProto(vm, "TextSnapshot");
  const Value& clip = textArg(args, 0);
  if (clip.isObject() && clip.obj->kind == Kind::Clip) {
    o->valid = true;
    o->content = read(vm, static_cast<ClipObject*>(clip.obj)->clip());
  }
  return Value(static_cast<Object*>(o));
}
Value call(Vm&, Value&, std::vector<Value>&) { return {}; }

Value getCount(Vm&, Value& self, std::vector<Value>& args) {
  const SnapshotObject* o = snapshotOf(self);
  if (!o || !args.empty()) return {};
  return Value(double(o->content.text.size()));
}

double integer(Vm& vm, const Value& v) {
  double n = vm.toNumber(v);
  return std::isfinite(n) ? std::trunc(n) : 0;
}

// getText(start, end, [includeLineEndings]).
Value getText(Vm& vm, Value& self, std::vector<Value>& args) {
  const SnapshotObject* o = snapshotOf(self);
  if (!o || args.size() < 2 || args.size() > 3) return {};
  const SnapshotText& s = o->content;
  double n = double(s.text.size());
  if (n == 0) return Value("");
  double start = std::clamp(integer(vm, args[0]), 0.0, n - 1);
  double end = std::clamp(integer(vm, args[1]), start + 1, n);
  bool lineEndings = args.size() == 3 && vm.toBool(args[2]);
  std::u16string out;
  for (size_t i = size_t(start); i < size_t(end); ++i) {
    if (lineEndings && i > size_t(start) && std::find(s.lineStarts.begin(), s.lineStarts.end(), i) != s.lineStarts.end())
      out.push_back(u'\n');
    out.push_back(s.text[i]);
  }
  return Value(toUtf8(out));
}

char16_t lower(char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c - 'A' + 'a') : c; }

// findText(start, text, caseSensitive): the first position at or after start, or -1.
Value findText(Vm& vm, Value& self, std::vector<Value>& args) {
  const SnapshotObject* o = snapshotOf(self);
  if (!o || args.size() != 3) return {};
  const SnapshotText& s = o->content;
  double start = integer(vm, args[0]);
  std::u16string wanted = toUtf16(vm.toString(args[1]));
  bool exact = vm.toBool(args[2]);
  if (wanted.empty() || start < 0) return Value(-1.0);
  for (size_t i = size_t(std::min(start, double(s.text.size()))); i + wanted.size() <= s.text.size(); ++i) {
    bool same = true;
    for (size_t k = 0; k < wanted.size() && same; ++k)
      same = exact ? s.text[i + k] == wanted[k] : lower(s.text[i + k]) == lower(wanted[k]);
    if (same) return Value(double(i));
  }
  return Value(-1.0);
}

Value getSelected(Vm&, Value&, std::vector<Value>&) { return Value(false); }
Value getSelectedText(Vm&, Value&, std::vector<Value>&) { return Value(""); }
Value nothing(Vm&, Value&, std::vector<Value>&) { return {}; }

Value getTextSnapshot(Vm& vm, Value& self, std::vector<Value>&) {
  Value ctor = vm.get(vm.global(), "TextSnapshot");
  return vm.construct(ctor, {self});
}

}  // namespace

void installTextSnapshot(Vm& vm, Object* global) {
  Object* proto = vm.newObject();
  setTextState(vm, "TextSnapshot", Value(proto));
  Function* ctor = vm.newNative(call, proto);
  ctor->nativeConstruct = construct;
  vm.defineOwn(global, "TextSnapshot", Value(static_cast<Object*>(ctor)), kDontEnum);
  textMethod(vm, proto, "getCount", getCount);
  textMethod(vm, proto, "getText", getText);
  textMethod(vm, proto, "findText", findText);
  textMethod(vm, proto, "getSelected", getSelected);
  textMethod(vm, proto, "getSelectedText", getSelectedText);
  textMethod(vm, proto, "setSelected", nothing);
  textMethod(vm, proto, "setSelectColor", nothing);
  textMethod(vm, proto, "hitTestTextNearPos", nothing);
  if (vm.clipProto) textMethod(vm, vm.clipProto, "getTextSnapshot", getTextSnapshot);
}

}  // namespace vorlo::player::avm1
