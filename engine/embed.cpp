#include "engine/embed.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/compiler.h"
#include "engine/error.h"
#include "engine/function.h"
#include "engine/image.h"
#include "engine/interpreter.h"
#include "engine/linker.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/source_stream.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"

namespace vorlo {

namespace {

constexpr const char* kCallUndefined = "Warning: call a undefined function";

void setMessage(ScriptVM* vm, const char* text) {
  std::snprintf(vm->message, sizeof vm->message, "%s", text);
}

// Entry protection: an error frame around `body`; whatever happens, the error-frame chain, the code
// stack and the stack pointer are as they were, and the entry reports success or failure.
template <typename Body>
bool protectedEntry(ScriptVM* vm, Body&& body) {
  ExecutionState& exec = vm->exec;
  ScriptValue* savedSp = vm->stackPointer;
  const uint32_t* savedIp = exec.savedIp;
  size_t frames = exec.errorFrames.size();
  size_t code = exec.runningCode.size();
  if (exec.hostNesting == 0) {
    exec.errorLocation.clear();
    exec.stackOverflow = false;
  }
  if (exec.hostNesting >= kMaxHostNesting) {
    setMessage(vm, "Runtime error: stack overflow");
    exec.stackOverflow = true;
    return false;
  }
  exec.hostNesting++;
  bool ok = false;
  try {
    ErrorFrame entry;
    entry.sp = savedSp;  // how deep the value stack was when the entry began
    exec.errorFrames.push_back(entry);
    body();
    ok = true;
  } catch (const ScriptError&) {
    // The message buffer already holds the reason.
  } catch (const std::bad_alloc&) {
    setMessage(vm, "Out of memory");
  } catch (const std::exception& e) {
    std::snprintf(vm->message, sizeof vm->message, "Runtime error: %s", e.what());
  }
  exec.errorFrames.resize(frames);
  exec.runningCode.resize(code);
  exec.exception = ScriptValue::undefined();
  exec.savedIp = savedIp;
  vm->stackPointer = savedSp;
  exec.hostNesting--;
  return ok;
}

void runLoadedImage(ScriptVM* vm, BytecodeImage& image) {
  ImageLoadContext context;
  context.anonymousCounter = &vm->exec.anonymousCounter;
  context.makeRegExp = vm->hooks.makeRegExp;
  CompiledFunction* main = loadImage(vm, image, context);
  vm->result = ScriptValue::undefined();
  if (!main) return;
  const ScriptValue args[1] = {ScriptValue::integer(0)};
  runFunction(vm, nullptr, main, 1, args);
}

// Compiles and runs a source. -1: no image; 0: the run failed; 1: success.
int compileAndRun(ScriptVM* vm, uint32_t compileFlags, SourceStream& source) {
  vm->exec.longMessage.clear();
  int status = -1;
  bool ok = protectedEntry(vm, [&] {
    CompileOutput out;
    bool compiled = compileScript(vm, source, compileFlags, out);
    if (out.messages.size() >= kMessageBufferSize) vm->exec.longMessage = out.messages;
    if (!compiled) return;
    std::unique_ptr<BytecodeImage> image = readImage(out.image.data(), out.image.size());
    if (!image) return;
    status = 0;
    runLoadedImage(vm, *image);
    status = 1;
  });
  return ok ? status : (status == -1 ? -1 : 0);
}

int runImage(Engine* engine, std::unique_ptr<BytecodeImage> image) {
  if (!image) return 0;
  ScriptVM* vm = engine->vm;
  vm->message[0] = 0;
  return protectedEntry(vm, [&] { runLoadedImage(vm, *image); }) ? 1 : 0;
}

bool hookCallFunction(ScriptVM* vm, const ScriptValue& thisValue, const ScriptValue& function,
                      const ScriptValue* args, ScriptValue* result) {
  ScriptValue none[1] = {ScriptValue::integer(0)};
  const ScriptValue* slots = args ? args : none;
  bool ok = callValue(vm, &thisValue, function, uint32_t(argCount(slots) + 1), slots);
  *result = vm->result;
  return ok;
}

// eval(text): a separate program sharing the globals; other arguments come back unchanged.
void evalCall(ScriptVM* vm, NativeClass*, void* self, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1) {
    *result = ScriptValue::undefined();
    return;
  }
  if (!args[1].isString()) {
    *result = args[1];
    return;
  }
  std::string text = stringToAnsi(args[1].asString());
  if (!runText(static_cast<Engine*>(self), text.data(), text.size())) passOnStackOverflow(vm);
  *result = vm->result;
}

// evals(path): compiles and runs a source file.
void evalsCall(ScriptVM* vm, NativeClass*, void* self, ScriptValue* result, const ScriptValue* args) {
  if (argCount(args) < 1 || !args[1].isString()) {
    *result = ScriptValue::undefined();
    return;
  }
  std::string path = stringToAnsi(args[1].asString());
  if (runSourceFile(static_cast<Engine*>(self), path.c_str()) != 1) passOnStackOverflow(vm);
  *result = vm->result;
}

void bindFunction(ScriptVM* vm, Engine* engine, const char* name, NativeCallFn call) {
  NativeClass* cls = newNativeClass(vm);
  cls->call = call;
  setGlobal(vm, intern(vm, name), ScriptValue::native(newNativeObject(vm, cls, engine)));
}

bool endsWithNoCase(const std::string& s, const char* suffix) {
  size_t n = std::strlen(suffix);
  if (s.size() < n) return false;
  for (size_t i = 0; i < n; i++) {
    char a = s[s.size() - n + i], b = suffix[i];
    if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
    if (a != b) return false;
  }
  return true;
}

}  // namespace

uint32_t compileFlagsFor(const VMOptions& options) {
  uint32_t flags = options.userValue != 0 ? uint32_t{kCompileHasUserValue} : 0u;
  for (const OptionToCompileFlag& m : kOptionCompileFlags)
    if (options.optionBits & m.option) flags |= m.flag;
  return flags;
}

Engine* createEngine(const VMOptions* options, ClassRegistration registerClasses) {
  auto* engine = new (std::nothrow) Engine{options ? *options : VMOptions{}, nullptr};
  if (!engine) return nullptr;
  engine->vm = createVM(&engine->options);
  if (!engine->vm) {
    delete engine;
    return nullptr;
  }
  ScriptVM* vm = engine->vm;
  vm->hooks.callFunction = hookCallFunction;
  bool ok = protectedEntry(vm, [&] {
    if (registerClasses) registerClasses(vm);
    defineEvalFunctions(engine);
  });
  if (!ok) {
    destroyEngine(engine);
    return nullptr;
  }
  return engine;
}

void destroyEngine(Engine* engine) {
  if (!engine) return;
  destroyVM(engine->vm);
  delete engine;
}

void defineEvalFunctions(Engine* engine) {
  // The engine handle is the native data of both functions: their runs need its options.
  bindFunction(engine->vm, engine, "eval", evalCall);
  bindFunction(engine->vm, engine, "evals", evalsCall);
}

int runText(Engine* engine, const char* text, size_t length) {
  std::string copy(text ? text : "", text ? length : 0);
  engine->vm->message[0] = 0;
  MemorySource source(copy);
  int status = compileAndRun(engine->vm, compileFlagsFor(engine->options), source);
  return status == 1 ? 1 : 0;
}

int runTextInMachine(ScriptVM* vm, const char* text, size_t length) {
  std::string copy(text ? text : "", text ? length : 0);
  vm->message[0] = 0;
  MemorySource source(copy);
  VMOptions options;
  options.userValue = vm->userValue;
  options.optionBits = vm->optionBits;
  return compileAndRun(vm, compileFlagsFor(options), source) == 1 ? 1 : 0;
}

int runSourceFile(Engine* engine, const char* path) {
  ScriptVM* vm = engine->vm;
  vm->message[0] = 0;
  std::unique_ptr<FileSource> source(FileSource::open(path));
  if (!source) {
    std::string line = std::string("can't open the script file: ") + path + "\n";
    size_t used = std::strlen(vm->message);
    std::snprintf(vm->message + used, sizeof vm->message - used, "%s", line.c_str());
    return -1;
  }
  return compileAndRun(vm, compileFlagsFor(engine->options), *source);
}

int runImageFile(Engine* engine, const char* path) {
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return 0;
  std::unique_ptr<BytecodeImage> image = readImageFile(f);
  std::fclose(f);
  return runImage(engine, std::move(image));
}

int runImageBuffer(Engine* engine, const uint8_t* bytes, size_t length) {
  return runImage(engine, readImage(bytes, length));
}

int runFile(Engine* engine, const char* path) {
  std::string p(path);
  if (endsWithNoCase(p, ".vsc")) return runImageFile(engine, path);
  if (endsWithNoCase(p, ".vos")) return runSourceFile(engine, path);
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return runSourceFile(engine, path);  // reports that it cannot be opened
  int c = std::fgetc(f);
  if (c == '#') {
    while (c != EOF && c != '\n') c = std::fgetc(f);
  } else if (c != EOF) {
    std::ungetc(c, f);
  }
  char magic[4] = {};
  bool isImage = std::fread(magic, 1, 4, f) == 4 && std::memcmp(magic, kImageMagic, 4) == 0;
  std::fclose(f);
  return isImage ? runImageFile(engine, path) : runSourceFile(engine, path);
}

bool guardedCall(Engine* engine, void (*fn)(ScriptVM* vm, void* context), void* context) {
  return protectedEntry(engine->vm, [&] { fn(engine->vm, context); });
}

bool callValue(ScriptVM* vm, const ScriptValue* thisValue, const ScriptValue& function,
               uint32_t slotCount, const ScriptValue* slots) {
  vm->message[0] = 0;
  vm->result = ScriptValue::undefined();
  ScriptValue none[1] = {ScriptValue::integer(0)};
  if (slotCount == 0 || !slots) {
    slots = none;
    slotCount = 1;
  }
  if (function.is(KindFunction)) {
    FunctionValue* f = function.asFunction();
    return protectedEntry(vm, [&] { runFunction(vm, thisValue, f->code, slotCount, slots); });
  }
  if (function.is(KindNative) && function.asNative()->cls->call) {
    NativeObject* n = function.asNative();
    return protectedEntry(vm, [&] {
      ScriptValue result;
      n->cls->call(vm, n->cls, n->data, &result, slots);
      vm->result = result;
    });
  }
  setMessage(vm, kCallUndefined);
  return false;
}

bool callGlobal(ScriptVM* vm, const char* name, uint32_t slotCount, const ScriptValue* slots) {
  ScriptValue function = getGlobal(vm, intern(vm, name));
  ScriptValue none = ScriptValue::null();
  return callValue(vm, &none, function, slotCount, slots);
}

bool callMethod(ScriptVM* vm, const ScriptValue& receiver, const char* name, uint32_t slotCount,
                const ScriptValue* slots) {
  vm->message[0] = 0;
  vm->result = ScriptValue::undefined();
  Atom atom = intern(vm, name);
  ScriptValue none[1] = {ScriptValue::integer(0)};
  if (slotCount == 0 || !slots) {
    slots = none;
    slotCount = 1;
  }
  bool handled = false;
  ScriptValue function;
  bool ok = protectedEntry(vm, [&] {
    ScriptValue result;
    switch (receiver.kind) {
      case KindNative: {
        NativeObject* n = receiver.asNative();
        if (n->cls->method && n->cls->method(vm, n->cls, n->data, atom, &result, slots)) {
          vm->result = result;
          handled = true;
        }
        return;
      }
      case KindObject: {
        ScriptValue v;
        if (objectGet(vm, receiver.asObject(), atom, &v) && v.is(KindFunction)) function = v;
        return;
      }
      default: {
        if (receiver.kind >= kKindCount) return;
        NativeClass* cls = vm->kindClasses[receiver.kind];
        ScriptValue self = receiver;
        if (cls && cls->method && cls->method(vm, cls, &self, atom, &result, slots)) {
          vm->result = result;
          handled = true;
        }
        return;
      }
    }
  });
  if (!ok) return false;
  if (handled) return true;
  if (function.is(KindFunction)) return callValue(vm, &receiver, function, slotCount, slots);
  std::snprintf(vm->message, sizeof vm->message, "Warning: unknown method \"%s\"", name);
  return false;
}

const char* engineMessage(const ScriptVM* vm) {
  return vm->exec.longMessage.empty() ? vm->message : vm->exec.longMessage.c_str();
}

const std::string& lastErrorLocation(const ScriptVM* vm) { return vm->exec.errorLocation; }

}  // namespace vorlo
