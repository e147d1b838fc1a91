// ActiveXObject: an automation object reached through its IDispatch. Members the class itself knows
// (toString, GetTypeInfoCount, register, unregister, the property-notify members) come from its member
// table; every other name is the object's own: bound through its type information when it has any
// (declared parameter and result types) and late-bound by name otherwise.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/ansi.h"
#include "engine/convert.h"
#include "engine/gc.h"
#include "engine/native.h"
#include "engine/roots.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"
#include "engine/properties.h"
#include "host/com/activex_data.h"
#include "host/com/com_bridge.h"
#include "host/com/dispatch_call.h"
#include "host/com/variant_convert.h"
#include "host/host_support.h"

namespace vorlo {
namespace com {
namespace {

struct ActiveXState {
  NativeClass* cls = nullptr;
  NativeClass* dateClass = nullptr;
  NativeMethodFn tableMethod = nullptr;
  NativePropertyFn tableProperty = nullptr;
  EventCache events;
};

ActiveXState* stateOf(const ScriptVM* vm) { return classState<ActiveXState>(vm); }

ActiveXData* objectData(const MemberCall& c) { return dataOf<ActiveXData>(c); }

std::wstring nameOf(ScriptVM* vm, Atom name) {
  std::string_view ansi = atomName(vm, name);
  return wideOf(ansiToUtf16(ansi.data(), ansi.size()));
}

// ---- creation ----

ComPtr<IDispatch> createByName(const std::wstring& name, HRESULT* hr) {
  CLSID clsid;
  ComPtr<IDispatch> object;
  *hr = CLSIDFromProgID(name.c_str(), &clsid);
  if (FAILED(*hr)) *hr = CLSIDFromString(name.c_str(), &clsid);
  if (SUCCEEDED(*hr)) {
    *hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IDispatch, object.putVoid());
    return object;
  }
  // A moniker's display name ("winmgmts:", a file name ...).
  ComPtr<IBindCtx> context;
  ComPtr<IMoniker> moniker;
  ULONG eaten = 0;
  *hr = CreateBindCtx(0, context.put());
  if (SUCCEEDED(*hr)) *hr = MkParseDisplayName(context.get(), name.c_str(), &eaten, moniker.put());
  if (SUCCEEDED(*hr)) *hr = moniker->BindToObject(context.get(), nullptr, IID_IDispatch, object.putVoid());
  if (FAILED(*hr)) object.reset();
  return object;
}

// A pointer given as a number: taken when four bytes at it can be read.
IDispatch* pointerArg(const ScriptValue& v) {
  if (v.kind != KindInteger || v.asInt() == 0) return nullptr;
  auto* p = reinterpret_cast<IDispatch*>(static_cast<uintptr_t>(v.asInt()));
  MEMORY_BASIC_INFORMATION info{};
  if (!VirtualQuery(p, &info, sizeof info) || info.State != MEM_COMMIT ||
      (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) || !(info.Protect & 0xEE))
    return nullptr;
  return p;
}

ScriptValue wrapOwned(ScriptVM* vm, ComPtr<IDispatch> object) {
  ActiveXState* state = stateOf(vm);
  if (!state || !object) return ScriptValue::null();
  auto data = std::make_unique<ActiveXData>();
  ActiveXData* d = data.get();
  d->vm = vm;
  d->object = std::move(object);
  ScriptValue result = makeInstance(vm, state->cls, std::move(data));
  d->self = result.asNative();
  connectEvents(d, state->events);
  return result;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  if (IDispatch* p = pointerArg(c.arg(0))) {
    *result = wrapOwned(vm, ComPtr<IDispatch>::adopt(p));  // the new object takes over one reference
    return;
  }
  std::optional<std::u16string> name = stringArg(c, 0);
  if (!name) return;
  HRESULT hr;
  ComPtr<IDispatch> object = createByName(wideOf(*name), &hr);
  if (!object) return osFailure(c, static_cast<uint32_t>(hr), ScriptValue::null());
  *result = wrapOwned(vm, std::move(object));
}

void callAsFunction(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

// ---- members of the class ----

void toText(MemberCall& c) { setClassText(c, u"[object ActiveXObject]"); }

void getTypeInfoCount(MemberCall& c) {
  ActiveXData* d = objectData(c);
  UINT count = 0;
  if (d && d->object && SUCCEEDED(d->object->GetTypeInfoCount(&count))) *c.result = ScriptValue::integer(count);
}

// Loads the server library and calls one of its registration entries.
void callServerEntry(MemberCall& c, const char* entry) {
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  HMODULE library = LoadLibraryW(wideOf(*path).c_str());
  if (!library) return lastOsFailure(c, ScriptValue::boolean(false));
  auto fn = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(library, entry)));
  HRESULT hr = fn ? fn() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  FreeLibrary(library);
  if (hr != S_OK) return osFailure(c, static_cast<uint32_t>(hr), ScriptValue::boolean(false));
  *c.result = ScriptValue::boolean(true);
}
void registerServer(MemberCall& c) { callServerEntry(c, "DllRegisterServer"); }
void unregisterServer(MemberCall& c) { callServerEntry(c, "DllUnregisterServer"); }

void getNotify(ScriptVM*, void* self, ScriptValue* value) {
  if (auto* d = static_cast<ActiveXData*>(self)) *value = ScriptValue::boolean(d->notify != nullptr);
}
void setNotify(ScriptVM*, void* self, const ScriptValue& value) {
  auto* d = static_cast<ActiveXData*>(self);
  if (!d || !d->object) return;
  if (toBoolean(value)) enablePropertyNotify(d);
  else disablePropertyNotify(d);
}
// The handlers live with the sink: without one, writes are ignored and reads leave the value alone.
void readNothing(ScriptVM*, void*, ScriptValue*) {}
void setOnChanged(ScriptVM*, void* self, const ScriptValue& value) {
  if (auto* d = static_cast<ActiveXData*>(self); d && d->notify) d->onChanged = value;
}
void setOnWillChange(ScriptVM*, void* self, const ScriptValue& value) {
  if (auto* d = static_cast<ActiveXData*>(self); d && d->notify) d->onWillChange = value;
}

void mark(ScriptVM* vm, NativeClass*, void* self) {
  auto* d = static_cast<ActiveXData*>(self);
  if (!d) return;
  for (auto& [id, handler] : d->handlers) markValue(vm, handler.function);
  markValue(vm, d->onChanged);
  markValue(vm, d->onWillChange);
}

constexpr Member kMembers[] = {
    {"GetTypeInfoCount", getTypeInfoCount},
    instanceProperty("OnPropertyWillChange", readNothing, setOnWillChange),
    instanceProperty("OnPropertyChanged", readNothing, setOnChanged),
    instanceProperty("EnablePropertyNotify", getNotify, setNotify),
    {"register", registerServer},
    {"unregister", unregisterServer},
    {"toString", toText},
};

// ---- the object's own members ----

int objectMethod(ScriptVM* vm, NativeClass* cls, void* self, Atom name, ScriptValue* result, const ScriptValue* args) {
  ActiveXState* state = stateOf(vm);
  if (state->tableMethod && state->tableMethod(vm, cls, self, name, result, args)) return 1;
  auto* d = static_cast<ActiveXData*>(self);
  if (!d || !d->object) return 0;
  return callMember(vm, d->object.get(), nameOf(vm, name), args, result, &d->bindings) ? 1 : 0;
}

int objectProperty(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
  ActiveXState* state = stateOf(vm);
  if (state->tableProperty && state->tableProperty(vm, cls, self, name, isWrite, value)) return 1;
  auto* d = static_cast<ActiveXData*>(self);
  if (!d || !d->object) return 0;
  std::wstring text = nameOf(vm, name);
  if (isWrite) {
    if (value->kind == KindFunction && !d->sources.empty()) {
      if (const EventInfo* e = findEvent(d, state->events, text)) {
        d->handlers[e->id] = EventHandlerEntry{*value, e->byRef};
        return 1;
      }
    }
    return putMember(vm, d->object.get(), text, *value, &d->bindings) ? 1 : 0;
  }
  return getMember(vm, d->object.get(), text, value, &d->bindings) ? 1 : 0;
}

}  // namespace

ScriptValue wrapDispatch(ScriptVM* vm, IDispatch* object) {
  if (!object) return ScriptValue::null();
  return wrapOwned(vm, ComPtr<IDispatch>::share(object));
}

IDispatch* dispatchOf(ScriptVM* vm, const ScriptValue& value) {
  ActiveXState* state = stateOf(vm);
  ActiveXData* d = state ? dataOf<ActiveXData>(value, state->cls) : nullptr;
  return d ? d->object.get() : nullptr;
}

bool dateTimeOf(ScriptVM* vm, const ScriptValue& value, double* ms) {
  ActiveXState* state = stateOf(vm);
  if (!state || !state->dateClass || value.kind != KindNative) return false;
  NativeObject* n = value.asNative();
  if (n->cls != state->dateClass || !n->data || !n->cls->method) return false;
  ScriptValue noArgs[1] = {ScriptValue::integer(0)};
  ScriptValue out;
  if (!n->cls->method(vm, n->cls, n->data, intern(vm, "getTime"), &out, noArgs)) return false;
  if (out.kind == KindInteger) *ms = static_cast<double>(out.asInt());
  else if (out.kind == KindFloat) *ms = out.asFloat();
  else return false;
  return true;
}

}  // namespace com

void registerActiveX(ScriptVM* vm) {
  using namespace com;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);  // once per thread; later calls only count
  auto owned = std::make_unique<ActiveXState>();
  ActiveXState& state = installClassState(vm, std::move(owned));
  ScriptValue date = getGlobal(vm, intern(vm, "Date"));
  if (date.kind == KindNative) state.dateClass = date.asNative()->cls;
  state.cls = registerClass(vm, ClassDef{.name = "ActiveXObject",
                                         .members = kMembers,
                                         .call = callAsFunction,
                                         .construct = construct,
                                         .finalize = finalizeData<ActiveXData>,
                                         .mark = mark,
                                         .data = typeKey<ActiveXData>()});
  state.tableMethod = state.cls->method;
  state.tableProperty = state.cls->property;
  state.cls->method = objectMethod;
  state.cls->property = objectProperty;
  IndexClasses index = vm->indexClasses;
  index.activeXObject = state.cls;
  setIndexClasses(vm, index);
  registerEnumerator(vm);
}

}  // namespace vorlo
