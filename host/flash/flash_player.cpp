#include "host/flash/flash_player.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "engine/convert.h"
#include "engine/gc.h"
#include "engine/native.h"
#include "engine/number_reader.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/symbols.h"
#include "framework/control_site.h"
#include "host/flash/control_calls.h"
#include "host/host_context.h"
#include "host/host_support.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"

namespace vorlo {
namespace {

using flash::Answer;
using flash::ControlCall;

// Beyond this many elements a movie array is read as its own text, split at commas.
constexpr int64_t kMaxArrayElements = 5000;

IDispatch* controlOf(const ScriptVM* vm) {
  HostContext* host = hostContext(vm);
  return host ? host->control : nullptr;
}

std::u16string folded(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& c : out)
    if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
  return out;
}

std::u16string textOf(ScriptVM* vm, const ScriptValue& v) {
  ValueRoot keep(vm, v);
  ScriptValue s = toStringValue(vm, v);
  return s.isString() ? std::u16string(stringView(s.asString())) : std::u16string();
}

// ---- the bound variables and the clip paths (per machine) ----

struct BoundTables {
  std::map<std::u16string, std::pair<std::u16string, ScriptValue>> bound;  // folded path -> path, value
  std::map<std::u16string, int> prefixes;                                 // folded prefix -> count
  NativeClass* clipClass = nullptr;

  void mark(ScriptVM* vm) {
    for (auto& [key, entry] : bound) markValue(vm, entry.second);
  }
  // Every prefix of the path that ends just before a ".".
  template <typename F>
  static void eachPrefix(const std::u16string& path, F f) {
    for (size_t dot = path.find(u'.'); dot != std::u16string::npos; dot = path.find(u'.', dot + 1))
      if (dot > 0) f(path.substr(0, dot));
  }
  void bind(const std::u16string& path) {
    std::u16string key = folded(path);
    if (bound.count(key)) return;
    bound.emplace(key, std::make_pair(path, ScriptValue()));
    eachPrefix(key, [&](const std::u16string& p) { ++prefixes[p]; });
  }
  void unbind(const std::u16string& path) {
    std::u16string key = folded(path);
    if (!bound.erase(key)) return;
    eachPrefix(key, [&](const std::u16string& p) {
      auto it = prefixes.find(p);
      if (it != prefixes.end() && --it->second <= 0) prefixes.erase(it);
    });
  }
};

BoundTables& tables(ScriptVM* vm) {
  if (BoundTables* t = classState<BoundTables>(vm)) return *t;
  return installClassState(vm, std::make_unique<BoundTables>());
}

struct ClipData {
  std::u16string path;
};

// A name under a path: the bound value first, then (reads only) a MovieClip for a longer prefix.
int pathProperty(ScriptVM* vm, const std::u16string& path, int isWrite, ScriptValue* value) {
  BoundTables& t = tables(vm);
  std::u16string key = folded(path);
  auto it = t.bound.find(key);
  if (it != t.bound.end()) {
    if (isWrite) it->second.second = *value;
    else *value = it->second.second;
    return 1;
  }
  if (isWrite || !t.prefixes.count(key) || !t.clipClass) return 0;
  *value = makeInstance(vm, t.clipClass, std::make_unique<ClipData>(ClipData{path}));
  return 1;
}

// ---- typed text ----

ScriptValue typedText(ScriptVM* vm, std::u16string_view text) {
  if (text == u"true") return ScriptValue::boolean(true);
  if (text == u"false") return ScriptValue::boolean(false);
  if (text == u"undefined") return ScriptValue();
  IntegerScan scan = scanInteger(text, 10);
  if (scan.found && scan.fits && scan.end == text.size()) return ScriptValue::integer(scan.value);
  double d = 0;
  size_t end = 0;
  if (!text.empty() && scanDecimal(text, &d, &end) && end == text.size()) return ScriptValue::number(d);
  return ownedString(vm, text);
}

// ---- control members as data ----

constexpr ControlCall kControlCalls[] = {
    {"setZoomRect", L"SetZoomRect", "iiii", Answer::Done},
    {"zoom", L"Zoom", "i", Answer::Done},
    {"pan", L"Pan", "iii", Answer::Done},
    {"play", L"Play", "", Answer::Done},
    {"stop", L"Stop", "", Answer::Done},
    {"back", L"Back", "", Answer::Done},
    {"forward", L"Forward", "", Answer::Done},
    {"rewind", L"Rewind", "", Answer::Done},
    {"stopPlay", L"StopPlay", "", Answer::Done},
    {"gotoFrame", L"GotoFrame", "i", Answer::Done},
    {"currentFrame", L"CurrentFrame", "", Answer::Count},
    {"isPlaying", L"IsPlaying", "", Answer::Done},
    {"percentLoaded", L"PercentLoaded", "", Answer::Count},
    {"frameLoaded", L"FrameLoaded", "i", Answer::Done},
    {"flashVersion", L"FlashVersion", "", Answer::Version},
    {"loadMovie", L"LoadMovie", "is", Answer::Done},
    {"setVariable", L"SetVariable", "ss", Answer::Done},
    {"getVariable", L"GetVariable", "s", Answer::Text},
    {"targetGotoFrame", L"TGotoFrame", "si", Answer::Done},
    {"targetGotoLabel", L"TGotoLabel", "ss", Answer::Done},
    {"targetCurrentFrame", L"TCurrentFrame", "s", Answer::Count},
    {"targetCurrentLabel", L"TCurrentLabel", "s", Answer::Text},
    {"targetPlay", L"TPlay", "s", Answer::Done},
    {"targetStopPlay", L"TStopPlay", "s", Answer::Done},
    {"targetGetProperty", L"TGetProperty", "si", Answer::Text},
    {"targetSetProperty", L"TSetProperty", "sis", Answer::Done},
    {"targetCallFrame", L"TCallFrame", "si", Answer::Done},
    {"targetCallLabel", L"TCallLabel", "ss", Answer::Done},
    {"targetGetPropertyNum", L"TGetPropertyNum", "si", Answer::Number},
    {"targetSetPropertyNum", L"TSetPropertyNum", "sif", Answer::Done},
};

// isPlaying answers the control's own boolean, not whether the call went through.
void isPlaying(MemberCall& c) {
  VARIANT v;
  VariantInit(&v);
  IDispatch* control = controlOf(c.vm);
  if (control && SUCCEEDED(fw::callMethod(control, L"IsPlaying", {}, &v)) && V_VT(&v) == VT_BOOL) {
    *c.result = ScriptValue::boolean(V_BOOL(&v) != VARIANT_FALSE);
  }
  VariantClear(&v);
}

template <size_t I>
void controlMember(MemberCall& c) {
  if constexpr (std::string_view(kControlCalls[I].member) == "isPlaying") {
    isPlaying(c);
  } else {
    flash::runControlCall(kControlCalls[I], controlOf(c.vm), c);
  }
}

// Properties: 'i' integer, 'b' boolean (integers accepted), 's' string; read-only ones have no setter.
struct ControlProperty {
  const char* member;
  const wchar_t* control;
  char kind;
  bool readOnly;
};

constexpr ControlProperty kControlProperties[] = {
    {"totalFrames", L"TotalFrames", 'i', true}, {"playing", L"Playing", 'b', false},
    {"quality", L"Quality", 'i', false},        {"scaleMode", L"ScaleMode", 'i', false},
    {"alignMode", L"AlignMode", 'i', false},    {"backgroundColor", L"BackgroundColor", 'i', false},
    {"loop", L"Loop", 'b', false},              {"movie", L"Movie", 's', false},
    {"frameNum", L"FrameNum", 'i', false},      {"wmode", L"WMode", 's', false},
    {"salign", L"SAlign", 's', false},          {"menu", L"Menu", 'b', false},
    {"base", L"Base", 's', false},              {"scale", L"Scale", 's', false},
    {"deviceFont", L"DeviceFont", 'b', false},  {"embedMovie", L"EmbedMovie", 'b', false},
    {"bgColor", L"BGColor", 's', false},        {"quality2", L"Quality2", 's', false},
    {"SWRemote", L"SWRemote", 's', false},      {"flashVars", L"FlashVars", 's', false},
};

template <size_t I>
void getControlProperty(ScriptVM* vm, void*, ScriptValue* value) {
  const ControlProperty& p = kControlProperties[I];
  VARIANT v, t;
  VariantInit(&v);
  VariantInit(&t);
  bool ok = flash::readControlProperty(controlOf(vm), p.control, &v);
  VARTYPE want = p.kind == 'i' ? VT_I4 : p.kind == 'b' ? VT_BOOL : VT_BSTR;
  if (ok && SUCCEEDED(VariantChangeType(&t, &v, 0, want))) {
    if (p.kind == 'i') *value = ScriptValue::integer(V_I4(&t));
    else if (p.kind == 'b') *value = ScriptValue::boolean(V_BOOL(&t) != VARIANT_FALSE);
    else if (V_BSTR(&t)) setString(vm, value, reinterpret_cast<const char16_t*>(V_BSTR(&t)), SysStringLen(V_BSTR(&t)));
  } else if (p.kind == 'i' && controlOf(vm)) {
    *value = ScriptValue::integer(-1);
  }
  VariantClear(&t);
  VariantClear(&v);
}

template <size_t I>
void setControlProperty(ScriptVM* vm, void*, const ScriptValue& value) {
  const ControlProperty& p = kControlProperties[I];
  VARIANT v;
  VariantInit(&v);
  if (p.kind == 'i' && value.kind == KindInteger) {
    V_VT(&v) = VT_I4;
    V_I4(&v) = LONG(value.asInt());
  } else if (p.kind == 'b' && (value.kind == KindBoolean || value.kind == KindInteger)) {
    V_VT(&v) = VT_BOOL;
    V_BOOL(&v) = value.asInt() != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  } else if (p.kind == 's' && value.isString()) {
    std::u16string_view text = stringView(value.asString());
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocStringLen(reinterpret_cast<const wchar_t*>(text.data()), UINT(text.size()));
  } else {
    return;  // other kinds are ignored
  }
  flash::writeControlProperty(controlOf(vm), p.control, v);
  VariantClear(&v);
}

// ---- the other members ----

void bindData(MemberCall& c) {
  for (int64_t i = 0; i < c.count(); ++i)
    if (auto path = stringArg(c, i)) tables(c.vm).bind(*path);
}

void unbindData(MemberCall& c) {
  for (int64_t i = 0; i < c.count(); ++i)
    if (auto path = stringArg(c, i)) tables(c.vm).unbind(*path);
}

void unbindAll(MemberCall& c) {
  BoundTables& t = tables(c.vm);
  t.bound.clear();
  t.prefixes.clear();
}

void updateData(MemberCall& c) {
  IDispatch* control = controlOf(c.vm);
  if (!control) return;
  bool toScript = !c.has(0) || toBoolean(c.arg(0));
  BoundTables& t = tables(c.vm);
  for (auto& [key, entry] : t.bound) {
    if (toScript) {
      if (auto text = flash::getMovieVariable(control, entry.first)) entry.second = typedText(c.vm, *text);
    } else {
      flash::setMovieVariable(control, entry.first, textOf(c.vm, entry.second));
    }
  }
}

std::u16string member(std::u16string_view base, std::u16string_view name) {
  std::u16string out(base);
  out += u'.';
  out += name;
  return out;
}

std::u16string decimal(int64_t i) {
  std::string s = std::to_string(i);
  return std::u16string(s.begin(), s.end());
}

void getArray(MemberCall& c) {
  IDispatch* control = controlOf(c.vm);
  auto name = stringArg(c, 0);
  if (!control || !name) return;
  std::optional<std::u16string> length = flash::getMovieVariable(control, member(*name, u"length"));
  int64_t n = 0;
  if (length) {
    IntegerScan scan = scanInteger(*length, 10);
    n = scan.found && scan.fits ? scan.value : 0;
  }
  ValueRoot array(c.vm, newArrayValue(c.vm, 0));
  if (length && n <= kMaxArrayElements) {
    array.value.asArray()->length = uint64_t(std::max<int64_t>(n, 0));
    for (int64_t i = 0; i < n; ++i) {
      std::optional<std::u16string> text = flash::getMovieVariable(control, member(*name, decimal(i)));
      if (!text) continue;
      ScriptValue v = typedText(c.vm, *text);
      if (!v.isUndefined()) arraySet(c.vm, array.value.asArray(), i, v);
    }
  } else if (std::optional<std::u16string> whole = flash::getMovieVariable(control, *name)) {
    size_t start = 0;
    for (;;) {
      size_t comma = whole->find(u',', start);
      arrayAppend(c.vm, array.value.asArray(), ownedString(c.vm, std::u16string_view(*whole).substr(start, comma - start)));
      if (comma == std::u16string::npos) break;
      start = comma + 1;
    }
  }
  *c.result = array.value;
}

void putArray(MemberCall& c) {
  IDispatch* control = controlOf(c.vm);
  auto name = stringArg(c, 0);
  ScriptValue values = c.arg(1);
  if (!control || !name || values.kind != KindArray) return;
  ValueRoot keep(c.vm, values);
  for (uint64_t i = 0; i < values.asArray()->length; ++i) {
    ScriptValue element;
    arrayGet(values.asArray(), int64_t(i), &element);
    flash::setMovieVariable(control, member(*name, decimal(int64_t(i))), textOf(c.vm, element));
  }
}

void getObject(MemberCall& c) {
  IDispatch* control = controlOf(c.vm);
  auto prefix = stringArg(c, 0);
  if (!control || !prefix) return;
  ValueRoot object(c.vm, ScriptValue::object(newObject(c.vm)));
  auto fetch = [&](const ScriptValue& name) {
    std::u16string n(stringView(name.asString()));
    if (auto text = flash::getMovieVariable(control, member(*prefix, n))) {
      std::string key = toAnsiText(c.vm, name);
      objectSet(c.vm, object.value.asObject(), intern(c.vm, key.data(), key.size()), ownedString(c.vm, *text));
    }
  };
  for (int64_t i = 1; i < c.count(); ++i) {
    ScriptValue a = c.arg(i);
    if (a.isString()) {
      fetch(a);
    } else if (a.kind == KindArray) {
      for (const auto& [index, name] : storeElements(a.asArray()))
        if (name.isString()) fetch(name);
    } else {
      return;  // neither a name nor a list of names: undefined
    }
  }
  *c.result = object.value;
}

void putObject(MemberCall& c) {
  IDispatch* control = controlOf(c.vm);
  auto prefix = stringArg(c, 0);
  ScriptValue values = c.arg(1);
  if (!control || !prefix || values.kind != KindObject) return;
  ValueRoot keep(c.vm, values);
  const ScriptObject* o = values.asObject();
  for (uint32_t i = 0; i < o->slotCount; ++i) {
    const PropertySlot& slot = o->slots[i];
    uint32_t k = slot.value.kind;
    if (slot.key == kFreeSlot || slot.key == kUnnamedSlot) continue;
    if (k != KindBoolean && k != KindInteger && k != KindString && k != KindFloat && k != KindArray) continue;
    std::string_view name = atomName(c.vm, slot.key);
    std::u16string path = member(*prefix, std::u16string(name.begin(), name.end()));
    flash::setMovieVariable(control, path, textOf(c.vm, slot.value));
  }
}

std::optional<double> numberArg(const MemberCall& c, int64_t i) {
  ScriptValue v = c.arg(i);
  if (v.kind == KindInteger) return double(v.asInt());
  if (v.kind == KindFloat) return v.asFloat();
  return std::nullopt;
}

void movieToWindow(MemberCall& c) {
  HostContext* host = hostContext(c.vm);
  IDispatch* control = controlOf(c.vm);
  if (!host || !control || host->movieWidth <= 0 || host->movieHeight <= 0) return;
  auto l = numberArg(c, 0), r = numberArg(c, 1), t = numberArg(c, 2), b = numberArg(c, 3);
  if (!l || !r || !t || !b) return;
  RECT client{};
  GetClientRect(host->mainWindow, &client);
  double W = host->movieWidth, H = host->movieHeight, CW = client.right, CH = client.bottom;
  VARIANT mode;
  VariantInit(&mode);
  long scaleMode = flash::readControlProperty(control, L"ScaleMode", &mode) && V_VT(&mode) == VT_I4 ? V_I4(&mode) : 0;
  VariantClear(&mode);
  double SW = CW, SH = CH, ox = 0, oy = 0;
  if (scaleMode == 0 || scaleMode == 1) {
    double s = scaleMode == 0 ? std::min(CW / W, CH / H) : std::max(CW / W, CH / H);
    SW = std::trunc(s * W);
    SH = std::trunc(s * H);
    ox = std::trunc((CW - SW) / 2);
    oy = std::trunc((CH - SH) / 2);
  } else if (scaleMode == 3) {
    SW = W;
    SH = H;
    ox = std::trunc((CW - W) / 2);
    oy = std::trunc((CH - H) / 2);
  }
  ValueRoot out(c.vm, ScriptValue::object(newObject(c.vm)));
  auto set = [&](const char* name, double v) {
    objectSet(c.vm, out.value.asObject(), intern(c.vm, name), ScriptValue::integer(int64_t(std::trunc(v))));
  };
  set("left", ox + std::trunc(SW / W * *l));
  set("right", ox + std::trunc(SW / W * *r));
  set("top", oy + std::trunc(SH / H * *t));
  set("bottom", oy + std::trunc(SH / H * *b));
  *c.result = out.value;
}

void toText(MemberCall& c) {
  if (controlOf(c.vm)) setClassText(c, u"[object FlashPlayer]");
}

constexpr Member kOtherMembers[] = {
    {"bindData", bindData},         {"unbindData", unbindData}, {"unbindAll", unbindAll},
    {"updateData", updateData},     {"getArray", getArray},     {"putArray", putArray},
    {"getObject", getObject},       {"putObject", putObject},   {"movieToWindow", movieToWindow},
    {"toString", toText},
};

template <size_t... C, size_t... P, size_t... O>
constexpr auto memberTable(std::index_sequence<C...>, std::index_sequence<P...>, std::index_sequence<O...>) {
  return std::array<Member, sizeof...(C) + sizeof...(P) + sizeof...(O)>{
      Member{kControlCalls[C].member, controlMember<C>}...,
      Member{kControlProperties[P].member, nullptr, getControlProperty<P>,
             kControlProperties[P].readOnly ? nullptr : setControlProperty<P>}...,
      kOtherMembers[O]...};
}

constexpr auto kMembers = memberTable(std::make_index_sequence<std::size(kControlCalls)>(),
                                      std::make_index_sequence<std::size(kControlProperties)>(),
                                      std::make_index_sequence<std::size(kOtherMembers)>());

void constructPlayer(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) {
  makeInstance(vm, cls, nullptr, result);
}
void callPlayer(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue*) {
  makeInstance(vm, cls, nullptr, result);
}

constexpr ClassDef kFlashPlayer{.name = "FlashPlayer", .members = kMembers, .call = callPlayer,
                                .construct = constructPlayer};

NativePropertyFn gPlayerTable = nullptr;

// Without the control every property is unhandled; names outside the table are bound paths.
int playerProperty(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
  if (!controlOf(vm)) return 0;
  if (gPlayerTable && gPlayerTable(vm, cls, self, name, isWrite, value)) return 1;
  std::string_view text = atomName(vm, name);
  return pathProperty(vm, std::u16string(text.begin(), text.end()), isWrite, value);
}

// ---- MovieClip ----

void clipText(MemberCall& c) { setClassText(c, u"[object MovieClip]"); }
constexpr Member kClipMembers[] = {{"toString", clipText}};
constexpr ClassDef kMovieClip{.name = "MovieClip", .members = kClipMembers, .finalize = finalizeData<ClipData>,
                              .data = typeKey<ClipData>()};

int clipProperty(ScriptVM* vm, NativeClass*, void* self, Atom name, int isWrite, ScriptValue* value) {
  auto* clip = static_cast<ClipData*>(self);
  if (!clip) return 0;
  std::string_view text = atomName(vm, name);
  return pathProperty(vm, member(clip->path, std::u16string(text.begin(), text.end())), isWrite, value);
}

}  // namespace

void registerFlashPlayer(ScriptVM* vm) {
  NativeClass* player = registerClass(vm, kFlashPlayer);
  gPlayerTable = player->property;
  player->property = playerProperty;
  NativeClass* clip = registerClass(vm, kMovieClip);
  clip->property = clipProperty;
  tables(vm).clipClass = clip;
}

}  // namespace vorlo
