#include "projector/runtime/bridge.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "engine/ansi.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/pin.h"
#include "engine/roots.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "framework/control_site.h"
#include "projector/bridge/external_call.h"
#include "projector/bridge/launch_rules.h"
#include "stdlib/array_store.h"
#include "stdlib/binding.h"

namespace vorlo {
namespace {

constexpr const wchar_t kUndefinedAnswer[] = L"<undefined/>";
// Names pasted into generated source: identifier-shaped and short.
constexpr size_t kMaxGeneratedName = 128;
// Slots left free on the value stack beyond the arguments of a call from outside.
constexpr size_t kStackReserve = 64;

std::u16string units(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }
std::string ansi(const std::wstring& text) {
  return utf16ToAnsi(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

bool sameName(const std::string& a, const char* b) { return lstrcmpiA(a.c_str(), b) == 0; }

bool isIdentifier(const std::string& name) {
  if (name.empty() || name.size() > kMaxGeneratedName) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(name[i]);
    bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
    if (!letter && !(i > 0 && c >= '0' && c <= '9')) return false;
  }
  return true;
}

size_t freeStackSlots(const ScriptVM* vm) { return size_t(vm->stackPointer - vm->stack); }

// Counts a dispatch for as long as it runs.
struct Nesting {
  explicit Nesting(int& n) : n(n) { ++n; }
  ~Nesting() { --n; }
  int& n;
};

}  // namespace

// ---- handles ----

std::optional<int64_t> MovieBridge::issueHandle(ScriptVM* vm, const ScriptValue& native) {
  PinnedValue* node = pinValue(vm, native);
  if (!node) return std::nullopt;
  issued_.insert(node);
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(node));
}

// The pinned node of a handle this bridge issued in this machine, holding a native object; null for
// anything else. The handle is looked up among the issued ones, never read through.
PinnedValue* MovieBridge::handleNode(ScriptVM* vm, const ScriptValue& v) {
  int64_t h = 0;
  if (v.kind == KindInteger) h = v.asInt();
  else if (v.kind == KindFloat && v.asFloat() == double(int64_t(v.asFloat()))) h = int64_t(v.asFloat());
  else return nullptr;
  if (h <= 0 || uint64_t(uintptr_t(h)) != uint64_t(h)) return nullptr;
  const void* address = reinterpret_cast<const void*>(uintptr_t(h));
  if (!issued_.count(address)) return nullptr;
  PinnedValue* node = findPinned(vm, address);
  return node && node->value.kind == KindNative ? node : nullptr;
}

bool MovieBridge::releaseHandle(ScriptVM* vm, PinnedValue* node) {
  issued_.erase(node);
  return unpinValue(vm, node);
}

// The movie may send back a wrapper object carrying the handle as "Identifier".
void MovieBridge::substituteHandles(ScriptVM* vm, std::vector<ScriptValue>& args, size_t from) {
  Atom identifier = intern(vm, "Identifier");
  for (size_t i = from; i < args.size(); ++i) {
    if (args[i].kind != KindObject) continue;
    const PropertySlot* slot = objectFindOwn(args[i].asObject(), identifier);
    if (slot && slot->value.kind == KindInteger) {
      if (PinnedValue* node = handleNode(vm, slot->value)) args[i] = node->value;
    }
  }
}

// A call target: a valid handle, or the name of a global holding a native object.
std::optional<ScriptValue> MovieBridge::nativeTarget(ScriptVM* vm, const ScriptValue& target) {
  if (target.kind == KindString) {
    std::string name = stringToAnsi(target.asString());
    Atom atom;
    if (!findAtom(vm, name.data(), name.size(), &atom)) return std::nullopt;
    ScriptValue v = getGlobal(vm, atom);
    if (v.kind != KindNative) return std::nullopt;
    return v;
  }
  if (PinnedValue* node = handleNode(vm, target)) return node->value;
  return std::nullopt;
}

namespace {

// An ArgList over args[from...].
std::vector<ScriptValue> argList(const std::vector<ScriptValue>& args, size_t from) {
  std::vector<ScriptValue> slots;
  size_t n = args.size() > from ? args.size() - from : 0;
  slots.reserve(n + 1);
  slots.push_back(ScriptValue::integer(int64_t(n)));
  for (size_t i = from; i < args.size(); ++i) slots.push_back(args[i]);
  return slots;
}

// ---- running native slots under an error frame ----

struct SlotCall {
  NativeObject* object;
  const ScriptValue* args;
  Atom name;
  int isWrite;
  ScriptValue value;
  bool handled = false;
};

void runConstruct(ScriptVM* vm, void* context) {
  auto* c = static_cast<SlotCall*>(context);
  NativeClass* cls = c->object->cls;
  vm->result = ScriptValue();
  cls->construct(vm, cls, c->args, &vm->result);
}

void runProperty(ScriptVM* vm, void* context) {
  auto* c = static_cast<SlotCall*>(context);
  NativeClass* cls = c->object->cls;
  if (cls->property) c->handled = cls->property(vm, cls, c->object->data, c->name, c->isWrite, &c->value) != 0;
}

// ---- functions of the movie as script globals ----

struct MovieFunctionName {
  std::string name;
};

void callRegisteredMovieFunction(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  HostContext* host = vm->host;
  auto* name = static_cast<MovieFunctionName*>(cls->classData);
  if (!host || !host->movie || !name) return;
  *result = host->movie->callMovieFunction(vm, name->name, args + 1, size_t(argCount(args)));
}

// _call(name, arguments): the movie function of that name with the array's elements.
void callMovieGlobal(ScriptVM* vm, NativeClass*, void*, ScriptValue* result, const ScriptValue* args) {
  HostContext* host = vm->host;
  if (!host || !host->movie || argCount(args) < 1 || !args[1].isString()) return;
  std::vector<ScriptValue> values;
  if (argCount(args) >= 2 && args[2].kind == KindArray) {
    const ScriptArray* array = args[2].asArray();
    if (array->length > freeStackSlots(vm)) return;
    values.resize(size_t(array->length));
    for (const auto& [index, value] : storeElements(array))
      if (index < values.size()) values[size_t(index)] = value;
  }
  SpanRoot root(vm, values.data(), values.size());
  *result = host->movie->callMovieFunction(vm, stringToAnsi(args[1].asString()), values.data(), values.size());
}

void registerMovieFunction(ScriptVM* vm, const std::string& name) {
  NativeClass* cls = newNativeClass(vm);
  cls->call = callRegisteredMovieFunction;
  cls->classData = new MovieFunctionName{name};
  cls->classDataRelease = [](void* data) { delete static_cast<MovieFunctionName*>(data); };
  ScriptValue function;
  makeInstance(vm, cls, nullptr, &function);
  setGlobal(vm, intern(vm, name.data(), name.size()), function);
}

std::string systemFolder(UINT (*get)(LPWSTR, UINT)) {
  wchar_t path[MAX_PATH];
  UINT n = get(path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? ansi(std::wstring(path, n)) : std::string();
}

UINT getSystemFolder(LPWSTR p, UINT n) { return GetSystemDirectoryW(p, n); }
UINT getWindowsFolder(LPWSTR p, UINT n) { return GetWindowsDirectoryW(p, n); }

}  // namespace

// ---- the command dispatcher ----

struct CommandRow {
  const char* name;
  void (*run)(MovieBridge& bridge, BridgeHost& host, const std::wstring& argument);
};

void MovieBridge::machineCreated(ScriptVM* vm) {
  static constexpr GlobalFunction kFunctions[] = {{"_call", callMovieGlobal}};
  registerGlobalFunctions(vm, kFunctions);
}

void MovieBridge::quitMachine() {
  // A script of the machine is still running below this dispatch: the machine goes when it returns.
  if (nesting_ > 1) {
    quitPending_ = true;
    return;
  }
  quitPending_ = false;
  objectsInCall_.clear();
  deferredDeletes_.clear();
  issued_.clear();
  host_.destroyMachine();
}

void MovieBridge::dispatchCommand(const std::wstring& command, const std::wstring& argument) {
  static const CommandRow kCommands[] = {
      {"Vorlo_Quit", [](MovieBridge& b, BridgeHost&, const std::wstring&) { b.quitMachine(); }},
      {"Vorlo_Run", [](MovieBridge&, BridgeHost& h, const std::wstring& a) { h.runPackagedScript(ansi(a)); }},
      {"Vorlo_AsynRun", [](MovieBridge& b, BridgeHost&, const std::wstring& a) { b.idleQueue_.push_back(ansi(a)); }},
      {"Vorlo_Eval",
       [](MovieBridge&, BridgeHost& h, const std::wstring& a) {
         if (Engine* e = h.machine(true)) {
           std::string text = ansi(a);
           runText(e, text.data(), text.size());
         }
       }},
      {"Vorlo_File",
       [](MovieBridge&, BridgeHost& h, const std::wstring& a) {
         if (Engine* e = h.machine(true)) runFile(e, ansi(a).c_str());
       }},
      {"Vorlo_Trace", [](MovieBridge&, BridgeHost&, const std::wstring&) {}},
      {"quit", [](MovieBridge&, BridgeHost& h, const std::wstring&) { h.closeFrame(); }},
      {"exec", [](MovieBridge& b, BridgeHost&, const std::wstring& a) { b.launch(ansi(a)); }},
  };
  std::string name = ansi(command);
  Nesting nesting(nesting_);
  for (const CommandRow& row : kCommands) {
    if (sameName(name, row.name)) {
      row.run(*this, host_, argument);
      break;
    }
  }
  if (nesting_ == 1 && quitPending_) quitMachine();
}

bool MovieBridge::onIdleRun() {
  if (idleQueue_.empty()) return false;
  std::string name = std::move(idleQueue_.front());
  idleQueue_.pop_front();
  dispatchCommand(L"Vorlo_Run", std::wstring(name.begin(), name.end()));
  return !idleQueue_.empty();
}

void MovieBridge::launch(const std::string& commandLine) {
  bridge::LaunchCommand command = bridge::splitLaunchCommand(commandLine);
  wchar_t module[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
  std::string programFolder = n > 0 && n < MAX_PATH ? ansi(std::wstring(module, n)) : std::string();
  programFolder.resize(programFolder.find_last_of('\\') + 1);
  bridge::LaunchPlaces places;
  places.programFolder = programFolder;
  places.systemFolder = systemFolder(getSystemFolder);
  places.windowsFolder = systemFolder(getWindowsFolder);
  if (const char* path = std::getenv("PATH")) places.pathVariable = path;
  places.packagedFile = [this](const std::string& p) { return host_.extractPackagedFile(p); };
  places.fileExists = [](const std::string& p) {
    std::u16string w = ansiToUtf16(p.data(), p.size());
    DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(w.c_str()));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  };
  std::string file = bridge::resolveProgram(command.program, places);
  if (file.empty()) return;
  std::wstring wideFile = wide(ansiToUtf16(file.data(), file.size()));
  std::wstring parameters = wide(ansiToUtf16(command.parameters.data(), command.parameters.size()));
  std::wstring folder = wideFile.substr(0, wideFile.find_last_of(L'\\'));
  ShellExecuteW(host_.frameWindow(), L"open", wideFile.c_str(), parameters.empty() ? nullptr : parameters.c_str(),
                folder.c_str(), SW_SHOWNORMAL);
}

// ---- external calls ----

std::wstring MovieBridge::handleExternalCall(const std::wstring& request) {
  Nesting nesting(nesting_);
  // A call that arrives before any script ran (or after the quit) gets a machine as the run
  // commands do.
  Engine* engine = host_.machine(true);
  if (!engine) return kUndefinedAnswer;
  ScriptVM* vm = engine->vm;
  std::u16string text = units(request);
  std::optional<bridge::Request> call = bridge::readRequest(vm, text);
  if (!call) return kUndefinedAnswer;
  std::vector<ScriptValue>& args = call->arguments;
  SpanRoot argsRoot(vm, args.data(), args.size());
  // The arguments go onto the value stack: a request with more than it holds is refused.
  if (args.size() + kStackReserve > freeStackSlots(vm)) return kUndefinedAnswer;
  ValueRoot answer(vm, answerCall(engine, call->name, args));
  if (host_.machine(false) != engine) return kUndefinedAnswer;  // the call ended the machine
  std::u16string out;
  if (!bridge::writeValue(vm, answer.value, [this, vm](const ScriptValue& v) { return issueHandle(vm, v); }, out)) {
    return kUndefinedAnswer;
  }
  if (nesting_ == 1 && quitPending_) quitMachine();
  return wide(out);
}

ScriptValue MovieBridge::answerCall(Engine* engine, const std::string& name, std::vector<ScriptValue>& args) {
  ScriptVM* vm = engine->vm;
  auto stringAt = [&](size_t i) { return i < args.size() && args[i].isString(); };

  if (sameName(name, "vorlo_new")) {
    if (!stringAt(0)) return {};
    substituteHandles(vm, args, 1);
    std::optional<ScriptValue> cls = nativeTarget(vm, args[0]);
    if (!cls || !cls->asNative()->cls->construct) return {};
    std::vector<ScriptValue> slots = argList(args, 1);
    SpanRoot root(vm, slots.data(), slots.size());
    SlotCall c{cls->asNative(), slots.data(), 0, 0, {}};
    if (!guardedCall(engine, runConstruct, &c)) return vm->result;
    return vm->result;
  }
  if (sameName(name, "vorlo_delete")) {
    PinnedValue* node = args.empty() ? nullptr : handleNode(vm, args[0]);
    if (!node) return ScriptValue::boolean(false);
    const void* object = node->value.asNative();
    if (std::find(objectsInCall_.begin(), objectsInCall_.end(), object) != objectsInCall_.end()) {
      // Its method is running: the finalizer waits until that call has returned.
      deferredDeletes_.push_back(node);
      return ScriptValue::boolean(true);
    }
    return ScriptValue::boolean(releaseHandle(vm, node));
  }
  if (sameName(name, "vorlo_call") || sameName(name, "vorlo_call2")) {
    if (args.size() < 2 || !stringAt(1)) return {};
    std::optional<ScriptValue> target = nativeTarget(vm, args[0]);
    if (!target) return {};
    std::vector<ScriptValue> slots;
    if (sameName(name, "vorlo_call2")) {
      if (args.size() < 3 || args[2].kind != KindArray) return {};
      const ScriptArray* array = args[2].asArray();
      if (array->length + kStackReserve > freeStackSlots(vm)) return {};
      std::vector<ScriptValue> elements(size_t(array->length));
      for (const auto& [index, value] : storeElements(array))
        if (index < elements.size()) elements[size_t(index)] = value;
      substituteHandles(vm, elements, 0);
      slots = argList(elements, 0);
    } else {
      substituteHandles(vm, args, 2);
      slots = argList(args, 2);
    }
    SpanRoot root(vm, slots.data(), slots.size());
    ValueRoot receiver(vm, *target);
    const void* object = target->asNative();
    objectsInCall_.push_back(object);
    callMethod(vm, receiver.value, stringToAnsi(args[1].asString()).c_str(), uint32_t(slots.size()), slots.data());
    ScriptValue result = vm->result;
    objectsInCall_.erase(std::find(objectsInCall_.begin(), objectsInCall_.end(), object));
    if (std::find(objectsInCall_.begin(), objectsInCall_.end(), object) == objectsInCall_.end()) {
      ValueRoot keep(vm, result);
      for (auto it = deferredDeletes_.begin(); it != deferredDeletes_.end();) {
        PinnedValue* node = findPinned(vm, *it);
        if (!node || node->value.asNative() == object) {
          if (node) releaseHandle(vm, node);
          it = deferredDeletes_.erase(it);
        } else {
          ++it;
        }
      }
    }
    return result;
  }
  if (sameName(name, "vorlo_getprop") || sameName(name, "vorlo_setprop")) {
    bool write = sameName(name, "vorlo_setprop");
    if (args.size() < (write ? 3u : 2u) || !stringAt(1)) return {};
    std::optional<ScriptValue> target = nativeTarget(vm, args[0]);
    if (!target) return {};
    if (write) substituteHandles(vm, args, 2);
    std::string property = stringToAnsi(args[1].asString());
    SlotCall c{target->asNative(), nullptr, intern(vm, property.data(), property.size()), write ? 1 : 0,
               write ? args[2] : ScriptValue()};
    ValueRoot keep(vm, c.value);
    if (!guardedCall(engine, runProperty, &c)) return {};
    return write ? ScriptValue() : c.value;
  }
  if (sameName(name, "vorlo_run") || sameName(name, "vorlo_eval") || sameName(name, "exec")) {
    if (!stringAt(0)) return {};
    std::u16string_view text = stringView(args[0].asString());
    dispatchCommand(std::wstring(name.begin(), name.end()), wide(text));
    Engine* now = host_.machine(false);
    return now ? now->vm->result : ScriptValue();
  }
  if (sameName(name, "vorlo_seh")) {
    if (args.size() < 3 || !stringAt(1) || !stringAt(2)) return {};
    std::optional<ScriptValue> target = nativeTarget(vm, args[0]);
    std::string event = stringToAnsi(args[1].asString());
    std::string function = stringToAnsi(args[2].asString());
    if (!target || !isIdentifier(event) || (!function.empty() && !isIdentifier(function))) return {};
    if (function.empty()) return {};
    ValueRoot keep(vm, *target);
    registerMovieFunction(vm, function);
    unsigned long long payload = args[0].kind == KindString ? reinterpret_cast<uintptr_t>(target->asNative())
                                                             : static_cast<unsigned long long>(handleNode(vm, args[0]) ? args[0].asInt() : 0);
    char global[2 * kMaxGeneratedName + 32];
    std::snprintf(global, sizeof global, "f%llu_%s", payload, event.c_str());
    std::string source = std::string("function ") + global + "() { return _call('" + function + "', arguments);}";
    if (runText(engine, source.data(), source.size()) != 1) return {};
    ScriptValue handler = getGlobal(vm, intern(vm, global));
    if (handler.kind == KindFunction) {
      SlotCall c{target->asNative(), nullptr, intern(vm, event.data(), event.size()), 1, handler};
      ValueRoot keepHandler(vm, c.value);
      guardedCall(engine, runProperty, &c);
    }
    return {};
  }
  // Any other name is a global script function.
  substituteHandles(vm, args, 0);
  std::vector<ScriptValue> slots = argList(args, 0);
  SpanRoot root(vm, slots.data(), slots.size());
  callGlobal(vm, name.c_str(), uint32_t(slots.size()), slots.data());
  return vm->result;
}

ScriptValue MovieBridge::callMovieFunction(ScriptVM* vm, const std::string& name, const ScriptValue* args,
                                           size_t count) {
  IDispatch* control = host_.control();
  if (!control || !host_.flash8()) return {};
  std::u16string wideName = ansiToUtf16(name.data(), name.size());
  std::optional<std::u16string> request =
      bridge::writeRequest(vm, wideName, args, count, [this, vm](const ScriptValue& v) { return issueHandle(vm, v); });
  if (!request) return {};
  VARIANT arg;
  V_VT(&arg) = VT_BSTR;
  V_BSTR(&arg) = SysAllocStringLen(reinterpret_cast<const wchar_t*>(request->data()), UINT(request->size()));
  VARIANT result;
  VariantInit(&result);
  control->AddRef();
  HRESULT hr = fw::callMethod(control, L"CallFunction", {arg}, &result);
  control->Release();
  VariantClear(&arg);
  ScriptValue answer;
  if (SUCCEEDED(hr) && V_VT(&result) == VT_BSTR && V_BSTR(&result)) {
    std::u16string text(reinterpret_cast<const char16_t*>(V_BSTR(&result)), SysStringLen(V_BSTR(&result)));
    answer = bridge::readResponse(vm, text);
  }
  VariantClear(&result);
  return answer;
}

}  // namespace vorlo
