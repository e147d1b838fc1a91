#include "engine/interpreter.h"

#include <cstring>
#include <new>
#include <string>

#include "engine/convert.h"
#include "engine/dispatch.h"
#include "engine/function.h"
#include "engine/gc.h"
#include "engine/linker.h"
#include "engine/location.h"
#include "engine/native.h"
#include "engine/opcodes.h"
#include "engine/operators.h"
#include "engine/properties.h"
#include "engine/string.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "engine/trace.h"
#include "engine/vm.h"

#if defined(__GNUC__)
#define VORLO_COMPUTED_GOTO 1
#else
#define VORLO_COMPUTED_GOTO 0
#endif

namespace vorlo {

namespace {

constexpr const char* kUndefinedVariable = "Warning: using undefined variable \"%s\"";
constexpr const char* kUndefinedFunction = "Warning: call a undefined function";
constexpr const char* kUnknownMethod = "Warning: unknown method \"%s\"";
constexpr const char* kInvalidConstructor = "Warning: invalid constructor";

// Free slots that must remain below a new frame or new locals.
constexpr ptrdiff_t kMinFreeSlots = 10;
// Every instruction that does not check the stack itself pushes at most two values; the check made
// before each instruction keeps this many slots free.
constexpr ptrdiff_t kInstructionReserve = 3;
struct Registers {
  const uint32_t* ip;
  ScriptValue* sp;
  ScriptValue* fp;
  ScriptValue* ceiling;  // the run's function-value slot: its outermost frame's slots lie below it
};

// Frame headers hold the only pointers on the stack, so no instruction may read or write them as
// values, whatever an image asks: operands are taken only from below the header (fp - 4), and frame
// slots only up to the caller's operands (below the caller's header) or, for the outermost frame, up
// to the run's function value.
inline ScriptValue* slotLimit(const ScriptValue* fp, ScriptValue* ceiling) {
  return fp[0].bits ? static_cast<ScriptValue*>(fp[0].asPointer()) - 4 : ceiling - 1;
}

inline ScriptValue frameLink(const void* p) { return ScriptValue::pointer(KindFrameLink, p); }
inline WithList* withListOf(ScriptValue* fp) { return static_cast<WithList*>(fp[-2].asPointer()); }

[[noreturn]] void stackOverflow(ScriptVM* vm) { raiseRuntimeError(vm, "%s", "stack overflow"); }
[[noreturn]] void badCode(ScriptVM* vm) {
  raiseRuntimeError(vm, "%s", "Unimplemented Vorlo Script bytecode");
}

// JFALSE: only these values count as false (a symbol neither jumps JTRUE nor JFALSE).
bool jumpsIfFalse(const ScriptValue& v) {
  switch (v.kind) {
    case KindUndefined:
    case KindNull:
    case KindNaN: return true;
    case KindBoolean: return !v.asBool();
    case KindInteger: return v.asInt() == 0;
    case KindFloat: return v.asFloat() == 0.0;
    case KindString: return v.asString()->length == 0;
    default: return false;
  }
}

void warnUndefinedVariable(ScriptVM* vm, Atom name) {
  if (vm->flags & kOptionWarnUndefined) writeWarning(vm, kUndefinedVariable, atomName(vm, name));
}

ScriptValue loadGlobal(ScriptVM* vm, Atom name) {
  ScriptValue v = getGlobal(vm, name);
  if (v.isUndefined()) warnUndefinedVariable(vm, name);
  return v;
}

// PUSHWITH: the frame's with-list grows by one entry (a new heap block when it is full).
void pushWith(ScriptVM* vm, ScriptValue* fp, const ScriptValue& value) {
  WithList* w = withListOf(fp);
  uint64_t n = w ? w->count : 0;
  size_t bytes = sizeof(uint64_t) * 2 + sizeof(ScriptValue) * size_t(n + 1);
  w = static_cast<WithList*>(heapResize(vm, w, bytes));
  w->values[n] = value;
  w->count = n + 1;
  fp[-2] = frameLink(w);
}

// The script frame for `function`: the callee's slots are already in place above sp.
void enterFunction(ScriptVM* vm, Registers& r, const ScriptValue& function) {
  CompiledFunction* code = function.asFunction()->code;
  ScriptValue* sp = r.sp;
  if (sp - 4 - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm);
  vm->exec.runningCode.push_back(code);
  sp[0] = frameLink(r.fp);
  sp[-1] = ScriptValue::make(KindFrameInfo, 0);
  sp[-2] = frameLink(nullptr);
  sp[-3] = frameLink(r.ip);
  r.fp = sp;
  r.sp = sp - 4;
  r.ip = code->code;
}

// The interpreter loop. Returns when the outermost frame returns or END is reached, with the
// result in vm->result.
void execute(ScriptVM* vm, Registers& r, size_t frameBase) {
  const uint32_t* ip = r.ip;
  ScriptValue* sp = r.sp;
  ScriptValue* fp = r.fp;
  ScriptValue* const lowest = vm->stack + kInstructionReserve;
  ScriptValue* const ceiling = r.ceiling;
  ExecutionState& exec = vm->exec;
  uint32_t op = 0;

  // Values the loop owns are on the stack; before anything that may call out (and so collect or
  // raise) the stack pointer and instruction are saved in the VM.
#define SYNC()                                                             \
  do {                                                                     \
    vm->stackPointer = sp;                                                 \
    exec.savedIp = ip;                                                     \
    op = *ip & 0xFF;                                                       \
    if (sp < lowest) stackOverflow(vm);                                    \
    if (sp + pops[op] > fp - 4) badCode(vm);                               \
  } while (0)
#define SAVE_REGS() (r.ip = ip, r.sp = sp, r.fp = fp)
#define LOAD_REGS() (ip = r.ip, sp = r.sp, fp = r.fp)
#define OPERAND() (*ip++)
#define PUSH(v) (*sp-- = (v))
#define JUMP_BY(rel) (ip += int32_t(rel))
#define CHECK_SPAN(n) \
  if ((n) < 0 || sp + (n) > fp - 4) badCode(vm)
#define SLOT_CHECK(k, p) \
  if ((k) < 0 || (p) > slotLimit(fp, ceiling)) badCode(vm)
  // A call's count slot must describe values of this frame (negative counts carry literal elements).
#define ARGS_CHECK()                                                     \
  do {                                                                   \
    int64_t room = (fp - 4) - (sp + 2);                                  \
    int64_t count = sp[2].asInt();                                       \
    if (!sp[2].is(KindInteger) || count > room || -count > room) badCode(vm); \
  } while (0)
  static uint8_t pops[256];

#if VORLO_COMPUTED_GOTO
  static void* table[256];
  static bool tableReady = false;
  if (!tableReady) {
    for (int i = 0; i < 256; i++) pops[i] = isOpcode(i) ? uint8_t(opcodeInfo(i).pops) : 0;
    for (auto& t : table) t = &&L_bad;
#define OPCODE_ENTRY(name) table[name] = &&L_##name;
#include "engine/opcode_list.h"
#undef OPCODE_ENTRY
    tableReady = true;
  }
#define OP(name) L_##name
#define OP_BAD L_bad
#define NEXT()      \
  do {              \
    SYNC();         \
    ip++;           \
    goto* table[op]; \
  } while (0)
  NEXT();
  {
#else
#define OP(name) case name
#define OP_BAD default
#define NEXT() continue
  for (int i = 0; i < 256; i++) pops[i] = isOpcode(i) ? uint8_t(opcodeInfo(i).pops) : 0;
  for (;;) {
    SYNC();
    ip++;
    switch (op) {
#endif

    OP(OpNop) : NEXT();

    // --- stack ---
    OP(OpDup) : sp[0] = sp[1]; sp--; NEXT();
    OP(OpPop) : sp++; NEXT();
    OP(OpPopN) : {
      int32_t b = int32_t(OPERAND());
      CHECK_SPAN(b);
      sp += b;
      NEXT();
    }
    OP(OpSwap) : {
      ScriptValue t = sp[1];
      sp[1] = sp[2];
      sp[2] = t;
      NEXT();
    }
    OP(OpDropUnder) : {
      int32_t b = int32_t(OPERAND());
      CHECK_SPAN(b);
      CHECK_SPAN(b + 1);  // the top and the b values under it
      ScriptValue t = sp[1];
      sp += b;
      sp[1] = t;
      NEXT();
    }
    OP(OpRoll) : {
      int32_t b = int32_t(OPERAND());
      if (b >= 2) {
        CHECK_SPAN(b);
        ScriptValue t = sp[1];
        for (int32_t i = 1; i < b; i++) sp[i] = sp[i + 1];
        sp[b] = t;
      } else if (b <= -2) {
        int32_t m = -b;
        CHECK_SPAN(m);
        ScriptValue t = sp[m];
        for (int32_t i = m; i > 1; i--) sp[i] = sp[i - 1];
        sp[1] = t;
      }
      NEXT();
    }
    OP(OpPush0) : PUSH(ScriptValue::integer(0)); NEXT();
    OP(OpPush1) : PUSH(ScriptValue::integer(1)); NEXT();
    OP(OpPush2) : PUSH(ScriptValue::integer(2)); NEXT();
    OP(OpPush3) : PUSH(ScriptValue::integer(3)); NEXT();
    OP(OpPushInt) : PUSH(ScriptValue::integer(int32_t(OPERAND()))); NEXT();
    OP(OpPushUndef) : PUSH(ScriptValue::undefined()); NEXT();
    OP(OpPushNull) : PUSH(ScriptValue::null()); NEXT();
    OP(OpPushTrue) : PUSH(ScriptValue::boolean(true)); NEXT();
    OP(OpPushFalse) : PUSH(ScriptValue::boolean(false)); NEXT();
    OP(OpPushConst) : {
      uint32_t index = OPERAND();
      if (index >= vm->constants.count) badCode(vm);
      PUSH(vm->constants.values[index]);
      NEXT();
    }
    // The payload grows whatever the kind, except that a reference is never turned into another
    // address (compiled code uses these on integers only).
    OP(OpAdd2) : if (sp[1].isHeapKind()) badCode(vm); sp[1].bits += 2; NEXT();
    OP(OpInc) : if (sp[1].isHeapKind()) badCode(vm); sp[1].bits += 1; NEXT();

    // --- variables ---
    OP(OpLoadGlobal) : PUSH(loadGlobal(vm, OPERAND())); NEXT();
    OP(OpStoreGlobal) : setGlobal(vm, OPERAND(), sp[1]); sp++; NEXT();
    OP(OpLoadLocal) : {
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = fp - 4 - j;
      if (j < 0 || p <= sp) badCode(vm);
      PUSH(*p);
      NEXT();
    }
    OP(OpStoreLocal) : {
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = fp - 4 - j;
      if (j < 0 || p <= sp + 1) badCode(vm);
      *p = sp[1];
      sp++;
      NEXT();
    }
    OP(OpLoadSlot) : {
      int32_t k = int32_t(OPERAND());
      ScriptValue* p = fp + k + 1;
      SLOT_CHECK(k, p);
      PUSH(*p);
      NEXT();
    }
    OP(OpStoreSlot) : {
      int32_t k = int32_t(OPERAND());
      ScriptValue* p = fp + k + 1;
      SLOT_CHECK(k, p);
      *p = sp[1];
      sp++;
      NEXT();
    }
    OP(OpLoadArgX) : {
      ScriptValue* p = sp[1].is(KindInteger) ? fp + sp[1].asInt() + 1 : nullptr;
      sp[1] = p && p > fp && p <= slotLimit(fp, ceiling) ? *p : ScriptValue::undefined();
      NEXT();
    }
    OP(OpLocals) : {
      int32_t h = int32_t(OPERAND());
      if (h < 0) h = 0;
      if (sp - h - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm);
      for (int32_t i = 0; i < h; i++) PUSH(ScriptValue::undefined());
      NEXT();
    }
    OP(OpArgFix) : {
      int32_t b = int32_t(OPERAND());
      int64_t c = sp[1].asInt();
      sp++;
      if (c < 2) c = 2;  // `this` and the count are always there
      if (c > slotLimit(fp, ceiling) - fp) c = slotLimit(fp, ceiling) - fp;  // what the caller really pushed
      if (c < b) {
        int64_t d = b - c;
        if (sp - d - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm);
        ScriptValue* block = sp + 1;
        std::memmove(block - d, block, size_t(fp + c - sp) * sizeof(ScriptValue));
        for (int64_t k = c; k < b; k++) fp[k + 1 - d] = ScriptValue::undefined();
        fp -= d;
        sp -= d;
        fp[-1] = ScriptValue::make(KindFrameInfo, uint64_t(c) | (uint64_t(d) << 32));
      }
      NEXT();
    }
    OP(OpLoadName) : {
      Atom name = OPERAND();
      if (WithList* w = withListOf(fp)) {
        for (uint64_t i = 0; i < w->count; i++) {
          bool found = false;
          ScriptValue v = findProperty(vm, w->values[i], name, &found);
          if (found) {
            PUSH(v);
            goto loadNameDone;
          }
          w = withListOf(fp);
        }
      }
      PUSH(loadGlobal(vm, name));
    loadNameDone:
      NEXT();
    }
    OP(OpStoreName) : {
      Atom name = OPERAND();
      bool stored = false;
      if (WithList* w = withListOf(fp)) {
        for (uint64_t i = 0; i < w->count && !stored; i++) {
          stored = storeIntoWithEntry(vm, w->values[i], name, sp[1]);
          collectionPoint(vm);
          w = withListOf(fp);
        }
      }
      if (!stored) setGlobal(vm, name, sp[1]);
      sp++;
      NEXT();
    }
    OP(OpDelName) : {
      Atom name = OPERAND();
      if (WithList* w = withListOf(fp)) {
        for (uint64_t i = 0; i < w->count; i++)
          if (deleteFromWithEntry(vm, w->values[i], name)) break;
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpReleaseGlobal) : {
      Atom name = OPERAND();
      if (name < vm->globals.count) {
        ScriptValue& g = vm->globals.values[name];
        if (g.is(KindNative)) {
          releaseNativeData(g.asNative());
          g = ScriptValue::undefined();
        }
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpReleaseLocal) : {
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = fp - 4 - j;
      if (j < 0 || p <= sp + 1) badCode(vm);
      if (p->is(KindNative)) {
        releaseNativeData(p->asNative());
        *p = ScriptValue::undefined();
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpReleaseSlot) : {
      int32_t k = int32_t(OPERAND());
      ScriptValue* p = fp + k + 1;
      SLOT_CHECK(k, p);
      if (p->is(KindNative)) {
        releaseNativeData(p->asNative());
        *p = ScriptValue::undefined();
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }

    // --- properties and elements ---
    OP(OpGetProp) : sp[1] = getProperty(vm, sp[1], OPERAND()); NEXT();
    OP(OpSetProp) : {
      setProperty(vm, sp[1], OPERAND(), sp[2]);
      sp += 2;
      vm->stackPointer = sp;
      collectionPoint(vm);
      NEXT();
    }
    OP(OpGetElem) : {
      ScriptValue v = getElement(vm, sp[2], sp[1]);
      sp++;
      sp[1] = v;
      NEXT();
    }
    OP(OpSetElem) : {
      setElement(vm, sp[2], sp[1], sp[3]);
      sp += 3;
      vm->stackPointer = sp;
      collectionPoint(vm);
      NEXT();
    }
    OP(OpDelProp) : {
      deleteProperty(vm, sp[1], OPERAND());
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpDelElem) : {
      deleteElement(vm, sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpNextItem) : {
      ScriptValue item;
      bool more = sp[1].is(KindInteger) && nextItem(vm, sp[2], sp[1].bits, &item);
      sp[2] = more ? item : ScriptValue::undefined();
      sp[1] = ScriptValue::boolean(more);
      NEXT();
    }

    // --- operators ---
#define BINARY(fn)                      \
  {                                     \
    ScriptValue v = fn(vm, sp[2], sp[1]); \
    sp++;                               \
    sp[1] = v;                          \
    NEXT();                             \
  }
    OP(OpAdd) : {
      if (sp[1].is(KindInteger) && sp[2].is(KindInteger)) {
        sp[2].bits += sp[1].bits;
        sp++;
        NEXT();
      }
      ScriptValue v = opAdd(vm, sp[2], sp[1]);
      sp++;
      sp[1] = v;
      if (v.isString()) collectionPoint(vm);
      NEXT();
    }
    OP(OpSub) : {
      if (sp[1].is(KindInteger) && sp[2].is(KindInteger)) {
        sp[2].bits -= sp[1].bits;
        sp++;
        NEXT();
      }
      BINARY(opSub)
    }
    OP(OpMul) : BINARY(opMul)
    OP(OpDiv) : BINARY(opDiv)
    OP(OpMod) : BINARY(opMod)
    OP(OpAnd) : BINARY(opAnd)
    OP(OpOr) : BINARY(opOr)
    OP(OpXor) : BINARY(opXor)
    OP(OpShl) : BINARY(opShl)
    OP(OpShr) : BINARY(opShr)
    OP(OpUshr) : BINARY(opUshr)
#undef BINARY
#define COMPARE(relation, intOp)                                              \
  {                                                                           \
    if (sp[1].is(KindInteger) && sp[2].is(KindInteger)) {                     \
      bool b = sp[2].asInt() intOp sp[1].asInt();                             \
      sp++;                                                                   \
      sp[1] = ScriptValue::boolean(b);                                        \
      NEXT();                                                                 \
    }                                                                         \
    ScriptValue v = opCompare(vm, Relation::relation, sp[2], sp[1]);          \
    sp++;                                                                     \
    sp[1] = v;                                                                \
    NEXT();                                                                   \
  }
    OP(OpLt) : COMPARE(Less, <)
    OP(OpGt) : COMPARE(Greater, >)
    OP(OpLe) : COMPARE(LessOrEqual, <=)
    OP(OpGe) : COMPARE(GreaterOrEqual, >=)
#undef COMPARE
    OP(OpEq) : {
      bool b = looseEquals(vm, sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::boolean(b);
      NEXT();
    }
    OP(OpNe) : {
      bool b = !looseEquals(vm, sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::boolean(b);
      NEXT();
    }
    OP(OpSeq) : {
      bool b = strictEquals(sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::boolean(b);
      NEXT();
    }
    OP(OpSne) : {
      bool b = !strictEquals(sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::boolean(b);
      NEXT();
    }
    OP(OpNot) : sp[1] = opNot(sp[1]); NEXT();
    OP(OpNeg) : sp[1] = opNeg(vm, sp[1]); NEXT();
    OP(OpTypeof) : {
      sp[1] = opTypeof(vm, sp[1]);
      collectionPoint(vm);
      NEXT();
    }

    // --- jumps ---
    OP(OpJump) : {
      uint32_t rel = OPERAND();
      JUMP_BY(rel);
      NEXT();
    }
    OP(OpJTrueB) : {
      uint32_t rel = OPERAND();
      if (uint32_t((++sp)->bits) != 0) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJFalseB) : {
      uint32_t rel = OPERAND();
      if (uint32_t((++sp)->bits) == 0) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJTrue) : {
      uint32_t rel = OPERAND();
      if (toBoolean(*++sp)) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJFalse) : {
      uint32_t rel = OPERAND();
      if (jumpsIfFalse(*++sp)) JUMP_BY(rel);
      NEXT();
    }

    // --- with-scope and exceptions ---
    OP(OpPushWith) : {
      pushWith(vm, fp, sp[1]);
      sp++;
      NEXT();
    }
    OP(OpPopWith) : {
      int32_t b = int32_t(OPERAND());
      if (WithList* w = withListOf(fp); w && b > 0) w->count -= b < 0 || uint64_t(b) > w->count ? w->count : uint64_t(b);
      NEXT();
    }
    OP(OpTry) : {
      uint32_t rel = OPERAND();
      exec.errorFrames.push_back(ErrorFrame{true, sp, fp, ip + int32_t(rel), exec.runningCode.size()});
      NEXT();
    }
    OP(OpPopTry) : {
      int32_t b = int32_t(OPERAND());
      while (b-- > 0 && exec.errorFrames.size() > frameBase && exec.errorFrames.back().isTry)
        exec.errorFrames.pop_back();
      NEXT();
    }
    OP(OpThrow) : {
      if (exec.errorFrames.size() > frameBase && exec.errorFrames.back().isTry) {
        exec.exception = sp[1];
        throw ScriptThrow("");
      }
      // No script handler: the value's text becomes the message (the value stays on the stack,
      // rooted, while it is converted).
      ScriptValue text = toStringValue(vm, sp[1]);
      std::string ansi = stringToAnsi(text.asString());
      std::snprintf(vm->message, sizeof vm->message, "%s", ansi.c_str());
      throw ScriptThrow(vm->message);
    }

    // --- calls ---
    OP(OpCallName) : {
      Atom name = OPERAND();
      ARGS_CHECK();
      if (WithList* w = withListOf(fp)) {
        for (uint64_t i = 0; i < w->count; i++) {
          ScriptValue result, function;
          ScriptValue entry = w->values[i];
          CallOutcome outcome = resolveWithMethod(vm, entry, name, sp + 2, &result, &function);
          if (outcome == CallOutcome::Done) {
            PUSH(result);
            vm->stackPointer = sp;
            collectionPoint(vm);
            NEXT();
          }
          if (outcome == CallOutcome::Script) {
            sp[1] = entry;
            SAVE_REGS();
            enterFunction(vm, r, function);
            LOAD_REGS();
            NEXT();
          }
          w = withListOf(fp);
        }
      }
      goto callValue;
    }
    OP(OpCall) : {
    callValue:
      ARGS_CHECK();
      ScriptValue result, function;
      CallOutcome outcome = resolveCall(vm, sp[1], sp + 2, &result, &function);
      sp[1] = ScriptValue::null();
      if (outcome == CallOutcome::Done) {
        PUSH(result);
      } else if (outcome == CallOutcome::Script) {
        SAVE_REGS();
        enterFunction(vm, r, function);
        LOAD_REGS();
      } else {
        writeWarning(vm, kUndefinedFunction);
        PUSH(ScriptValue::undefined());
      }
      NEXT();
    }
    OP(OpCallMethod) : {
      Atom name = OPERAND();
      ARGS_CHECK();
      ScriptValue result, function;
      CallOutcome outcome = resolveMethod(vm, sp[1], name, sp + 2, &result, &function);
      if (outcome == CallOutcome::Done) {
        PUSH(result);
        vm->stackPointer = sp;
        collectionPoint(vm);
      } else if (outcome == CallOutcome::Script) {
        SAVE_REGS();
        enterFunction(vm, r, function);
        LOAD_REGS();
      } else {
        writeWarning(vm, kUnknownMethod, atomName(vm, name));
        PUSH(ScriptValue::undefined());
      }
      NEXT();
    }
    OP(OpNew) : {
      ARGS_CHECK();
      if (sp[1].is(KindFunction)) {
        ScriptValue function = sp[1];
        sp[1] = newConstructedObject(vm, function.asFunction());
        collectionPoint(vm);
        SAVE_REGS();
        enterFunction(vm, r, function);
        LOAD_REGS();
        NEXT();
      }
      ScriptValue result;
      if (resolveConstruct(vm, sp[1], sp + 2, &result) == CallOutcome::Done) {
        sp[1] = result;
        PUSH(ScriptValue::undefined());
        vm->stackPointer = sp;
        collectionPoint(vm);
      } else {
        writeWarning(vm, kInvalidConstructor);
        sp[1] = ScriptValue::null();
        PUSH(ScriptValue::null());
      }
      NEXT();
    }
    OP(OpReturn) : {
      ScriptValue value = sp[1];
      if (fp[0].bits == 0) {
        vm->result = value;
        return;
      }
      uint64_t info = fp[-1].bits;
      uint32_t count = uint32_t(info), padded = uint32_t(info >> 32);
      auto* callerFp = static_cast<ScriptValue*>(fp[0].asPointer());
      auto* returnIp = static_cast<const uint32_t*>(fp[-3].asPointer());
      ScriptValue* home = fp + padded;
      if (padded) std::memmove(home + 1, fp + 1, size_t(count) * sizeof(ScriptValue));
      *home = value;
      sp = home - 1;
      fp = callerFp;
      ip = returnIp;
      exec.runningCode.pop_back();
      // Handlers the returning function left installed would resume in a frame that is gone.
      while (exec.errorFrames.size() > frameBase && exec.errorFrames.back().codeDepth > exec.runningCode.size())
        exec.errorFrames.pop_back();
      NEXT();
    }
    OP(OpEnd) : {
      vm->result = sp[1];
      return;
    }
    OP(OpHalt) : badCode(vm);
    OP_BAD : badCode(vm);
#if VORLO_COMPUTED_GOTO
  }
#else
    }
  }
#endif
#undef SYNC
#undef SAVE_REGS
#undef LOAD_REGS
#undef OPERAND
#undef PUSH
#undef JUMP_BY
#undef CHECK_SPAN
#undef SLOT_CHECK
#undef ARGS_CHECK
#undef OP
#undef OP_BAD
#undef NEXT
}

// A runtime error or a THROW reached the interpreter: the innermost try frame of this run takes it,
// or it leaves the run.
bool resumeAtHandler(ScriptVM* vm, Registers& r, size_t frameBase, bool thrown) {
  ExecutionState& exec = vm->exec;
  if (exec.errorFrames.size() <= frameBase || !exec.errorFrames.back().isTry) return false;
  ErrorFrame frame = exec.errorFrames.back();
  exec.errorFrames.pop_back();
  exec.runningCode.resize(frame.codeDepth);
  r.sp = frame.sp;
  r.fp = frame.fp;
  r.ip = frame.catchIp;
  vm->stackPointer = r.sp;
  ScriptValue value = exec.exception;
  exec.exception = ScriptValue::undefined();
  if (!thrown) value = ScriptValue::string(newStringFromAnsi(vm, vm->message, std::strlen(vm->message)));
  *r.sp-- = value;
  return true;
}

void formatFailure(ScriptVM* vm, const char* what) {
  std::snprintf(vm->message, sizeof vm->message, "Runtime error: %s", what);
}

}  // namespace

void collectionPoint(ScriptVM* vm) {
  if (!collectionDue(vm)) return;
  collectGarbage(vm);
  if (vm->hook) {
    int answer = vm->hook(vm, 2, vm->hookData);
    if (answer != 0) raiseRuntimeError(vm, "hook break %d", answer);
  }
}

void runFunction(ScriptVM* vm, const ScriptValue* thisValue, CompiledFunction* code, uint32_t n,
                 const ScriptValue* slots) {
  ExecutionState& exec = vm->exec;
  ScriptValue* entrySp = vm->stackPointer;
  size_t codeBase = exec.runningCode.size();
  size_t frameBase = exec.errorFrames.size();
  if (entrySp - ptrdiff_t(n) - 6 - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm);

  ScriptValue* sp = entrySp;
  *sp-- = ScriptValue::function(newFunctionValue(vm, code));  // keeps the code reachable
  for (uint32_t i = n; i-- > 0;) *sp-- = slots[i];
  *sp-- = thisValue ? *thisValue : ScriptValue::null();
  ScriptValue* fp = sp;
  fp[0] = frameLink(nullptr);
  fp[-1] = ScriptValue::make(KindFrameInfo, 0);
  fp[-2] = frameLink(nullptr);
  fp[-3] = frameLink(nullptr);
  Registers r{code->code, fp - 4, fp, entrySp};
  vm->stackPointer = r.sp;

  auto leave = [&] {
    if (exec.errorLocation.empty()) exec.errorLocation = describeLocation(vm, exec.savedIp);
    exec.runningCode.resize(codeBase);
    exec.errorFrames.resize(frameBase);
    exec.exception = ScriptValue::undefined();
    vm->stackPointer = entrySp;
  };
  exec.runningCode.push_back(code);
  for (;;) {
    bool thrown = false;
    try {
      execute(vm, r, frameBase);
      break;
    } catch (const ScriptThrow&) {
      thrown = true;
    } catch (const RuntimeError&) {
    } catch (const std::bad_alloc&) {
      formatFailure(vm, "Out of memory");
    } catch (const ScriptError&) {
    } catch (const std::exception& e) {
      // A native that failed in a way of its own (a conversion without its class, say).
      formatFailure(vm, e.what());
    }
    bool resumed = false;
    try {
      resumed = resumeAtHandler(vm, r, frameBase, thrown);
    } catch (...) {
      resumed = false;
    }
    if (!resumed) {
      leave();
      if (thrown) throw ScriptThrow(vm->message);
      throw RuntimeError(vm->message);
    }
  }
  exec.runningCode.resize(codeBase);
  exec.errorFrames.resize(frameBase);
  vm->stackPointer = entrySp;
  collectGarbage(vm);
}

}  // namespace vorlo
