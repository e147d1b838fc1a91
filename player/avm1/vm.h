// The ActionScript 1/2 virtual machine: objects with prototypes, the interpreter of action blocks,
// the built-in classes and functions, and a mark-and-sweep collector whose roots are the globals,
// the clips on the stage and the pending timers. Scripts run only inside `runBlock` and the event
// calls; collection happens between frames, when no script is running.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "player/avm1/value.h"
#include "player/display/movie_clip.h"

namespace vorlo::player::avm1 {

class Vm;
class Function;
class SoundOutput;
class ClipObject;
struct Activation;

// Property attributes as ASSetPropFlags numbers them.
enum PropFlag : uint8_t { kDontEnum = 1, kDontDelete = 2, kReadOnly = 4 };

struct Property {
  std::string name;  // as first written
  Value value;
  Object* getter = nullptr;  // addProperty
  Object* setter = nullptr;
  uint16_t flags = 0;  // kDontEnum, kDontDelete, kReadOnly and the version bits ASSetPropFlags sets
  // Properties that exist only for movies of a version at least this high (the version bits
  // mark built-ins of later players).
  uint8_t minVersion = 0;
};

enum class Kind : uint8_t { Object, Function, Array, Boolean, Number, String, Date, Clip, Super, Activation };

// Native code: `self` is the receiver (an object, or undefined), `args` the arguments.
using NativeFn = Value (*)(Vm& vm, Value& self, std::vector<Value>& args);
// Native code that reads data of the function object it runs as (generated accessors).
using BoundNativeFn = Value (*)(Vm& vm, Function& callee, Value& self, std::vector<Value>& args);

class Object {
 public:
  explicit Object(Kind k = Kind::Object) : kind(k) {}
  virtual ~Object() = default;
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;

  Kind kind;
  bool marked = false;
  Object* proto = nullptr;  // __proto__
  Value primitive;          // the wrapped value of Boolean, Number, String and Date objects
  std::vector<Property> props;  // in creation order; erased slots are removed
  std::unordered_map<std::string, uint32_t> index;  // key (see Vm::key) -> slot
  struct Watch {
    Object* callback = nullptr;
    Value userData;
  };
  std::unordered_map<std::string, Watch> watches;
  std::vector<Object*> interfaces;  // ImplementsOp on a constructor

  // Hooks for objects with built-in properties (arrays, clips): true when `key` was handled.
  virtual bool getSpecial(Vm&, const std::string& name, Value& out) { return false; }
  virtual bool setSpecial(Vm&, const std::string& name, const Value& v) { return false; }
  virtual bool hasSpecial(Vm&, const std::string& name) { return false; }
  virtual void specialKeys(Vm&, std::vector<std::string>& out) {}
  virtual void markChildren(Vm&) {}

  Property* own(const std::string& key) {
    auto it = index.find(key);
    return it == index.end() ? nullptr : &props[it->second];
  }
};

// The code of a script function or a frame: a range of a shared action block.
struct Code {
  std::shared_ptr<const std::vector<uint8_t>> block;
  uint32_t begin = 0, end = 0;
};

using ConstantPool = std::shared_ptr<const std::vector<std::string>>;

class Function : public Object {
 public:
  Function() : Object(Kind::Function) {}
  NativeFn native = nullptr;
  NativeFn nativeConstruct = nullptr;  // `new` on a native class that makes its own object
  BoundNativeFn bound = nullptr;
  int32_t boundData = 0;
  // Script functions.
  std::string name;
  struct Param {
    std::string name;
    uint8_t reg = 0;
  };
  std::vector<Param> params;
  bool v2 = false;
  uint8_t regCount = 0;
  uint16_t flags2 = 0;
  Code code;
  std::vector<Object*> scope;  // captured scope chain, outermost first
  ConstantPool pool;
  ClipObject* clip = nullptr;  // the timeline the function was defined on
  void markChildren(Vm& vm) override;
};

class ArrayObject : public Object {
 public:
  ArrayObject() : Object(Kind::Array) {}
  std::vector<Value> items;
  bool getSpecial(Vm&, const std::string& name, Value& out) override;
  bool setSpecial(Vm&, const std::string& name, const Value& v) override;
  bool hasSpecial(Vm&, const std::string& name) override;
  void specialKeys(Vm&, std::vector<std::string>& out) override;
  void markChildren(Vm& vm) override;
};

// `super` inside a method: lookups start above the prototype the method was found on, calls keep
// the caller's `this`.
class SuperObject : public Object {
 public:
  SuperObject() : Object(Kind::Super) {}
  Object* self = nullptr;
  Object* home = nullptr;  // the prototype whose __proto__ `super` reads from
  void markChildren(Vm& vm) override;
};

// The script object of a display object on the stage.
class ClipObject : public Object, public DisplayObject::ScriptPeer {
 public:
  ClipObject(Vm& vm, DisplayObject* d);
  ~ClipObject() override;
  Vm& vm;
  DisplayObject* display;  // null once the display object is gone
  MovieClip* clip() const { return dynamic_cast<MovieClip*>(display); }
  void displayObjectGone(DisplayObject&) override;
  bool getSpecial(Vm&, const std::string& name, Value& out) override;
  bool setSpecial(Vm&, const std::string& name, const Value& v) override;
  bool hasSpecial(Vm&, const std::string& name) override;
  // Cached for the properties that the matrix alone cannot give back exactly.
  double xscale = 100, yscale = 100, rotation = 0;
  int8_t focusRect = -1;  // _focusrect of a clip below the root from SWF 6: -1 null, 0 or 1
  bool cachedTransform = false;
  std::string text;  // a text field's text as scripts see it
  // onClipEvent handlers of the placement: event bits (Load 0x1, EnterFrame 0x2, Unload 0x4...)
  struct ClipEvent {
    uint32_t events = 0;
    Code code;
    uint8_t keyCode = 0;  // a key press handler's key
  };
  std::vector<ClipEvent> clipEvents;
  bool initialized = false;  // the placement's events were read and its load event queued
  void markChildren(Vm& vm) override;
};

// Raised inside the interpreter for `throw`; caught by try blocks and by the outermost runner.
struct ScriptThrow {
  Value value;
};
// Ends every running script (budget spent, recursion too deep, damaged code that cannot go on).
struct ScriptAbort {
  std::string reason;
};

class Vm {
 public:
  // `root` is the movie's main timeline; `version` the movie's SWF version.
  Vm(MovieClip& root, StageContext& stage, int version);
  ~Vm();

  int version;
  bool caseSensitive() const { return version >= 7; }
  // The index key of a property name: names compare without case before SWF 7.
  std::string key(const std::string& name) const;

  // Where script output goes.
  std::function<void(const std::string&)> onTrace;
  std::function<void(const std::string& command, const std::string& args)> onFsCommand;
  std::function<void(const std::string&)> onWarning;
  std::function<double()> clock;  // milliseconds since the movie started
  // A script moved the focus (Selection.setFocus, also to the object that has it): the object
  // focused, or null, takes the place of the one under the pointer, which rolls out while the
  // new one rolls over after the running scripts.
  std::function<void(DisplayObject* to)> onScriptFocus;
  // ExternalInterface.call: the request and the answer are external-call XML. While it is empty
  // the external interface is not available.
  std::function<std::string(const std::string& requestXml)> onExternalCall;
  // Reads what a script loads (a URL as the movie wrote it): the bytes, or nothing with `error` set.
  std::function<std::optional<std::vector<uint8_t>>(const std::string& url, std::string* error)> loader;
  // Loads the scripts asked for, answered on a later frame (loading.cpp).
  enum class LoadKind : uint8_t { Data, Variables };  // onData(text) of the object, variables of a clip
  struct PendingLoad {
    LoadKind kind;
    Value target;
    std::string url;
  };
  std::vector<PendingLoad> pendingLoads;
  // The player's sound output for the Sound object and stopAllSounds (null: silent).
  SoundOutput* soundOutput = nullptr;
  // Where SharedObject keeps its files (UTF-8 path; empty: nowhere).
  std::string sharedObjectFolder;
  void runPendingLoads();

  // Runs an action block (DoAction, a frame's script) with `clip` as its timeline.
  void runBlock(MovieClip& clip, std::shared_ptr<const std::vector<uint8_t>> block);
  // Runs code with `clip` as its timeline (a clip event; the clip may be gone already).
  void runCode(ClipObject* clip, const Code& code);
  // Clips removed from the stage since the last call (for their unload events).
  std::vector<ClipObject*> takeGoneClips() { return std::move(gone_); }
  // Runs the clip's event handler method (onEnterFrame, onLoad...) if it has one.
  void callMethodIfPresent(DisplayObject& target, const std::string& method);
  // Timers due at `now` (setInterval).
  void runTimers(double now);
  // A new frame of script time: the budget of actions starts again.
  void resetBudget() { budget_ = actionBudget_; }
  // The actions a frame's scripts may run before they are stopped (kActionBudget unless the host
  // sets another, as the fuzz targets do to keep endless loops short).
  void setActionBudget(long actions) { actionBudget_ = budget_ = actions > 0 ? actions : kActionBudget; }
  void collectGarbage();
  size_t objectCount() const { return heap_.size(); }

  // ---- Used by the interpreter and the built-ins ----
  template <typename T = Object>
  T* make() {
    T* o = new T();
    heap_.push_back(o);
    return o;
  }
  Object* newObject(Object* proto = nullptr);
  ArrayObject* newArray(std::vector<Value> items = {});
  Function* newNative(NativeFn fn, Object* proto = nullptr);
  ClipObject* clipObject(DisplayObject& d);
  // The object scripts reach a display object by (its name, `_parent`, a path): before SWF 6 a
  // button is no object of its own and stands for the clip that holds it.
  ClipObject* scriptObjectOf(DisplayObject& d);
  void forgetClip(ClipObject* c);
  Object* global() const { return global_; }
  MovieClip& rootClip() { return root_; }
  StageContext& stage() { return stage_; }

  Value get(Object* o, const std::string& name);
  Value getValue(const Value& v, const std::string& name);  // primitives through their prototypes
  // `found` set when the object or its prototypes have the property; `holder` the owner.
  Value lookup(Object* o, const std::string& name, bool* found, Object** holder, const Value& self);
  void set(Object* o, const std::string& name, const Value& v);
  void defineOwn(Object* o, const std::string& name, const Value& v, uint8_t flags = 0);
  bool hasOwn(Object* o, const std::string& name);
  bool has(Object* o, const std::string& name);
  bool remove(Object* o, const std::string& name);
  std::vector<std::string> enumerate(Object* o);  // for..in order: newest first, prototypes after

  // A function called without a receiver sees the global object as `this`, unless `bareThis`
  // (a CallMethod without a name) keeps it undefined.
  Value call(const Value& fn, const Value& self, std::vector<Value> args, Object* home = nullptr,
             bool bareThis = false);
  Value construct(const Value& fn, std::vector<Value> args);
  Value callMethod(const Value& target, const std::string& name, std::vector<Value> args);

  double toNumber(const Value& v);
  std::string toString(const Value& v);
  bool toBool(const Value& v) { return toBoolean(v, version); }
  Value toPrimitive(const Value& v, bool preferString = false);
  Object* toObject(const Value& v);
  std::string typeOf(const Value& v);
  bool instanceOf(Object* o, Object* ctor);
  bool looseEquals(const Value& a, const Value& b);
  bool strictEquals(const Value& a, const Value& b);
  // Less2: true, false, or undefined (NaN involved).
  Value lessThan(const Value& a, const Value& b);

  // Target paths: "/a/b", "_root.a.b", "../c", "_level0".
  Object* resolvePath(Activation& a, const std::string& path);
  std::string targetPath(DisplayObject& d);  // "_level0.a.b"
  std::string slashPath(DisplayObject& d);   // "/a/b"
  DisplayObject* parentOf(DisplayObject& d, int* depth = nullptr);
  DisplayObject* childByName(DisplayObject& parent, const std::string& name);
  Value getClipProperty(ClipObject& c, int index);
  void setClipProperty(ClipObject& c, int index, const Value& v);

  void trace(const std::string& text) {
    if (onTrace) onTrace(text);
  }
  void warn(const std::string& text);
  void chargeAction() {
    if (--budget_ < 0) throw ScriptAbort{"a script ran too long and was stopped"};
  }

  // Prototypes and constructors the built-ins share.
  Object* objectProto = nullptr;
  Object* functionProto = nullptr;
  Object* arrayProto = nullptr;
  Object* stringProto = nullptr;
  Object* numberProto = nullptr;
  Object* booleanProto = nullptr;
  Object* dateProto = nullptr;
  Object* clipProto = nullptr;
  Object* buttonProto = nullptr;
  Object* textFieldProto = nullptr;
  Object* errorProto = nullptr;
  Object* xmlNodeProto = nullptr;
  Object* xmlProto = nullptr;
  // What the text classes keep (their prototypes, the focus) as properties of one object.
  Object* textState = nullptr;
  // What the host's interfaces keep (the external interface's callbacks) as properties of one object.
  Object* hostState = nullptr;

  struct Timer {
    int id = 0;
    Value target;  // the function, or the object whose method is named
    std::string method;
    std::vector<Value> args;
    double interval = 0, due = 0;
    bool repeat = true;
  };
  std::vector<Timer> timers;
  int nextTimerId = 1;
  int callDepth = 0;
  // Player-wide settings scripts set through clip properties.
  int highQuality = 1;  // 0 low, 1 high, 2 best, 3 medium
  bool focusRect = true;
  double soundBufferTime = 5;
  // Object.registerClass: export name (as a key) -> constructor.
  std::unordered_map<std::string, Object*> registeredClasses;
  // Moves a clip's playhead for a script. Only the actions of the frame arrived at run: those of
  // the frames passed on the way are skipped (see skipsActions).
  void gotoFrame(MovieClip& clip, int frame);
  // A clip of an exported symbol with a registered class takes its prototype and constructor.
  // True when a constructor ran.
  bool applyRegisteredClass(ClipObject* c);
  bool skipsActions(const MovieClip& clip) const {
    return gotoClip_ == &clip && clip.currentFrame() != gotoTarget_;
  }
  ClipObject* runningBase = nullptr;  // the timeline of the innermost running code
  static constexpr int kMaxCallDepth = 256;
  // How much of the thread's stack script calls may take, measured from the outermost call (256
  // plain calls take about 440 KB in an optimised 64-bit build; a Windows thread has 1 MB).
  static constexpr size_t kMaxStackBytes = 640 * 1024;
  const char* stackBase_ = nullptr;
  static constexpr int kMaxAccessorDepth = 65;
  static constexpr int kMaxScopeDepth = 256;
  static constexpr size_t kMaxStack = 1 << 20;
  static constexpr long kActionBudget = 20'000'000;
  static constexpr size_t kMaxString = size_t(1) << 26;

 private:
  void installBuiltins();
  void mark(Object* o);
  void markValue(const Value& v) {
    if (v.type == Type::Object) mark(v.obj);
  }
  friend class Function;
  friend class ArrayObject;
  friend class SuperObject;
  friend void markObject(Vm&, Object*);

  MovieClip& root_;
  StageContext& stage_;
  Object* global_ = nullptr;
  std::vector<Object*> heap_;
  std::unordered_set<ClipObject*> clips_;
  std::vector<ClipObject*> gone_;
  const MovieClip* gotoClip_ = nullptr;
  int gotoTarget_ = 0;
  std::vector<Object*> markStack_;
  long budget_ = kActionBudget;
  long actionBudget_ = kActionBudget;
  // Calls of each accessor (holder, getter or setter) running now: the reference player lets one
  // run at most kMaxAccessorDepth calls deep and skips deeper accesses.
  std::map<std::pair<const Object*, const Object*>, int> accessorDepth_;
  // A skipped access reads or writes the property's own slot instead.
  Value callAccessor(Object* holder, Object* fn, const Value& self, std::vector<Value> args, Value& slot);
  // An assignment through a setter (`k` the property's key in `holder`).
  void setThroughAccessor(Object* holder, const std::string& k, Object* setter, const Value& self, const Value& value);
};

void markObject(Vm& vm, Object* o);

// Runs the actions of `code` in `a`; the value of a Return, or undefined.
Value execute(Activation& a, const Code& code);

struct Activation {
  explicit Activation(Vm& v) : vm(v) {}
  Vm& vm;
  std::vector<Object*> scope;  // outermost first; the global object is searched after all
  Object* locals = nullptr;    // where `var` defines (the activation object, or the timeline)
  Value self;                  // `this`
  ClipObject* target = nullptr;  // the timeline actions act on (tellTarget changes it)
  bool targetLost = false;       // tellTarget found no clip: `target` is the root for lookups only
  ClipObject* base = nullptr;    // the timeline the code belongs to
  bool frameScope = true;        // frame code: tellTarget also changes variable scope
  Object* home = nullptr;        // prototype the running method was found on (for super)
  Function* callee = nullptr;
  Object* arguments = nullptr;
  Object* superObject = nullptr;
  // The call's own objects may be reached after it returns (a closure captured the scope, or the
  // script read `arguments` or `super`): they join the collected heap instead of being freed.
  bool escaped = false;
  std::vector<Value> regs;
  std::vector<Value> stack;
  ConstantPool pool;
  int withDepth = 0;
};

}  // namespace vorlo::player::avm1
