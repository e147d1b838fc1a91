#include "engine/interpreter.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <string>
#include <vector>

#include "engine/convert.h"
#include "engine/dispatch.h"
#include "engine/function.h"
#include "engine/gc.h"
#include "engine/linker.h"
#include "engine/location.h"
#include "engine/native.h"
#include "engine/object.h"
#include "engine/opcodes.h"
#include "engine/operators.h"
#include "engine/properties.h"
#include "engine/sanitizer.h"
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
// The loop's helpers must be inlined into it whatever its size. Address-sanitized builds leave out
// the fused instructions and the forced inlining: each inlined copy's temporaries would get a guarded
// slot of the loop's frame, and nested runs would exhaust the native stack.
#if defined(__GNUC__) && !defined(VORLO_ADDRESS_SANITIZER)
#define VORLO_INLINE inline __attribute__((always_inline))
#define VORLO_FUSION 1
#else
#define VORLO_INLINE inline
#define VORLO_FUSION 0
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

inline ScriptValue frameLink(const void* p) { return ScriptValue::pointer(KindFrameLink, p); }

// The frame header's slots (interpreter.h).
VORLO_INLINE ScriptValue& headerSlot(ScriptValue* fp, FrameHeaderSlot slot) { return fp[-int(slot)]; }
VORLO_INLINE bool isOutermostFrame(const ScriptValue* fp) { return fp[-kFrameLinkSlot].bits == 0; }
VORLO_INLINE ScriptValue* callerOf(const ScriptValue* fp) {
  return static_cast<ScriptValue*>(fp[-kFrameLinkSlot].asPointer());
}
// Local j of the frame; local 0 is the highest slot below the header.
VORLO_INLINE ScriptValue* localSlot(ScriptValue* fp, int64_t j) { return fp - kFrameHeaderSlots - j; }
// The highest slot that an instruction may take an operand from.
VORLO_INLINE ScriptValue* operandLimit(ScriptValue* fp) { return fp - kFrameHeaderSlots; }
// A new frame's header at fp: entered from the caller's frame, returning to returnIp (both null for
// the outermost frame of a run), no with-list, no ARGFIX padding.
VORLO_INLINE void writeFrameHeader(ScriptValue* fp, const ScriptValue* callerFp, const uint32_t* returnIp) {
  headerSlot(fp, kFrameLinkSlot) = frameLink(callerFp);
  headerSlot(fp, kFrameInfoSlot) = ScriptValue::make(KindFrameInfo, 0);
  headerSlot(fp, kFrameWithListSlot) = frameLink(nullptr);
  headerSlot(fp, kFrameReturnSlot) = frameLink(returnIp);
}

// Frame headers hold the only pointers on the stack, so no instruction may read or write them as
// values, whatever an image asks: operands are taken only from below the header (operandLimit), and
// frame slots only up to the caller's operands (below the caller's header) or, for the outermost
// frame, up to the run's function value.
VORLO_INLINE ScriptValue* slotLimit(ScriptValue* fp, ScriptValue* ceiling) {
  return isOutermostFrame(fp) ? ceiling - 1 : operandLimit(callerOf(fp));
}

// Stack values move as two 8-byte words. A result is often written field by field; a 16-byte load of
// it by the next instruction could not take the data from the pending stores and would wait for them
// to reach the cache. Word-sized reads and writes keep every value in flight.
//
// GCC is told, by an empty asm statement, to keep the two words in general registers (never one
// vector move). Clang does not get that statement: clang 14 miscompiles it in the interpreter loop
// at -O2 and above (in a fused instruction's integer path the two register operands came out
// swapped, so the kind word received the payload: `i++` on a global gave undefined, a 3000-iteration
// loop crashed, arguments.length was wrong). Clang writes the words with memcpy.
#if defined(__GNUC__) && !defined(__clang__)
#define VORLO_REGISTER_WORDS 1
using ValueWord = uint64_t __attribute__((may_alias));
#else
#define VORLO_REGISTER_WORDS 0
#endif
VORLO_INLINE void putValue(ScriptValue* to, ScriptValue v) {
  // Built from the fields, so that a result made in registers never goes through memory.
  uint64_t head = uint64_t(v.kind) | uint64_t(v.reserved) << 32, bits = v.bits;
#if VORLO_REGISTER_WORDS
  asm("" : "+r"(head), "+r"(bits));  // two general registers, never one vector move
  ValueWord* words = reinterpret_cast<ValueWord*>(to);
  words[0] = head;
  words[1] = bits;
#else
  std::memcpy(reinterpret_cast<char*>(to), &head, sizeof head);
  std::memcpy(reinterpret_cast<char*>(to) + sizeof head, &bits, sizeof bits);
#endif
}
#undef VORLO_REGISTER_WORDS
static_assert(sizeof(ScriptValue) == 16 && offsetof(ScriptValue, bits) == 8);
VORLO_INLINE ScriptValue loadValue(const ScriptValue& v) {
  ScriptValue copy;
  putValue(&copy, v);
  return copy;
}
inline WithList* withListOf(ScriptValue* fp) {
  return static_cast<WithList*>(headerSlot(fp, kFrameWithListSlot).asPointer());
}

[[noreturn]] void stackOverflow(ScriptVM* vm) { raiseStackOverflow(vm); }
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
  if (vm->optionBits & kOptionWarnUndefined) writeWarning(vm, kUndefinedVariable, atomName(vm, name));
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
  headerSlot(fp, kFrameWithListSlot) = frameLink(w);
}

// --- fused instructions ---
//
// The first time a function runs, common short sequences of its instructions (a value pushed and an
// operator applied, two values pushed and an operator applied, a comparison followed by JFALSEB) are
// marked in place: the first instruction's word is replaced by a fused instruction that does the
// whole sequence in one step when its operands are numbers and every check the sequence would make
// passes, and otherwise runs the replaced first instruction, so that the sequence continues one
// instruction at a time exactly as before. Only opcode words change; the operand words and the
// later instructions stay, so a jump into the middle of a sequence runs it as written.
//
// A fused word is kFusedBase plus its index (form, source, operator); bits 16-17 carry the integer of
// a PUSH0-3 source; bit 31 of a function's first word marks the function as already scanned. The
// dispatch looks at the low 10 bits only; the linker writes opcodes as plain bytes.

constexpr bool kFusion = VORLO_FUSION;
constexpr uint32_t kDispatchMask = 0x3FF;
constexpr uint32_t kFusedBase = 0x100;
constexpr uint32_t kScannedMark = 0x80000000u;
constexpr int kSmallShift = 16;

// The family's table: engine/fused_instructions.inc. Its SOURCES and OPERATORS lists expand
// M(Form, Source, Operator) once for each variant of a form.
#define FUSED_PUSHED(M, F, OPERATORS) OPERATORS(M, F, Local) OPERATORS(M, F, Const) \
  OPERATORS(M, F, Slot) OPERATORS(M, F, Small)
#define FUSED_STACK(M, F, OPERATORS) OPERATORS(M, F, Stack)
#define FUSED_ARITHMETIC(M, F, S) M(F, S, Add) M(F, S, Sub) M(F, S, Mul) M(F, S, Div) M(F, S, Mod) \
  M(F, S, Lt) M(F, S, Gt) M(F, S, Le) M(F, S, Ge) M(F, S, And) M(F, S, Xor)
#define FUSED_COMPARES(M, F, S) M(F, S, Lt) M(F, S, Gt) M(F, S, Le) M(F, S, Ge)
#define FUSED_ADDS(M, F, S) M(F, S, Add) M(F, S, Sub)
#define FUSED_STORE(M, F, S) M(F, S, StoreLocal)
#define FUSED_BRANCHES(M, F, S) M(F, S, JFalseB) M(F, S, JTrueB)

// Forms: where the operands come from and what follows.
enum FusedForm {
#define FUSED_FORM(F, ...) k##F,
#include "engine/fused_instructions.inc"
  kFusedFormCount
};
// The instruction that pushes the right operand; forms whose operands are on the stack already
// (FUSED_STACK) take the first.
enum FusedSource { kFromLocal, kFromConst, kFromSlot, kFromSmall, kFromStack = 0 };

// The opcodes a fused instruction carries (at most 16).
constexpr int fusedOperator(int op) {
  switch (op) {
    case OpAdd: return 0;
    case OpSub: return 1;
    case OpMul: return 2;
    case OpDiv: return 3;
    case OpMod: return 4;
    case OpLt: return 5;
    case OpGt: return 6;
    case OpLe: return 7;
    case OpGe: return 8;
    case OpAnd: return 9;
    case OpXor: return 10;
    case OpStoreLocal: return 11;
    case OpJFalseB: return 12;
    case OpJTrueB: return 13;
    default: return -1;
  }
}
constexpr uint32_t fusedIndex(FusedForm form, FusedSource source, int op) {
  return uint32_t(form) * 64 + uint32_t(source) * 16 + uint32_t(fusedOperator(op));
}
static_assert(kFusedBase + uint32_t(kFusedFormCount) * 64 <= kDispatchMask + 1);

int fusedSourceOf(int op) {
  switch (op) {
    case OpLoadLocal: return kFromLocal;
    case OpPushConst: return kFromConst;
    case OpLoadSlot: return kFromSlot;
    case OpPush0: case OpPush1: case OpPush2: case OpPush3: return kFromSmall;
    default: return -1;
  }
}
int smallValueOf(int op) { return op == OpPush0 ? 0 : op == OpPush1 ? 1 : op == OpPush2 ? 2 : 3; }

// What the fusing pass looks for: each form's pattern of steps and the operators it carries.
namespace fused_step {
enum Step : int8_t {
  None,
  LoadLocal,  // the left operand from a local
  Source,     // an instruction of FusedSource: the right operand
  Operator,   // one of the form's operators: the opcode the fused word carries
  Mul = -OpMul, Dup = -OpDup, JFalseB = -OpJFalseB, Pop = -OpPop, StoreLocal = -OpStoreLocal,
};
static_assert(-kLastOpcode >= INT8_MIN);
}  // namespace fused_step
struct FusedPattern {
  FusedForm form;
  bool pushed;         // FUSED_PUSHED: a Source step; FUSED_STACK: none
  uint32_t operators;  // bit fusedOperator(op) for each operator of the form
  fused_step::Step steps[6];
};
#define FUSED_OPERATOR_BIT(F, S, N) | (1u << fusedOperator(Op##N))
#define FUSED_PUSHED_HAS true
#define FUSED_STACK_HAS false
constexpr auto kFusedPatterns = [] {
  using namespace fused_step;  // the table's steps are written bare
  return std::array{
#define FUSED_FORM(F, SOURCES, OPERATORS, ...) \
  FusedPattern{k##F, SOURCES##_HAS, 0 OPERATORS(FUSED_OPERATOR_BIT, F, _), {__VA_ARGS__}},
#include "engine/fused_instructions.inc"
  };
}();
#undef FUSED_OPERATOR_BIT
#undef FUSED_PUSHED_HAS
#undef FUSED_STACK_HAS
constexpr int kFusedLookahead = int(std::size(kFusedPatterns[0].steps));

// Each variant's name, "Form.Source.Operator".
constexpr auto kFusedNames = [] {
  std::array<const char*, size_t(kFusedFormCount) * 64> names{};
#define FUSED_NAME(F, S, N) names[fusedIndex(k##F, kFrom##S, Op##N)] = #F "." #S "." #N;
#define FUSED_FORM(F, SOURCES, OPERATORS, ...) SOURCES(FUSED_NAME, F, OPERATORS)
#include "engine/fused_instructions.inc"
#undef FUSED_NAME
  return names;
}();

// The fused word for the instructions list[0], list[1]... under one pattern, or 0 when they do not
// match it.
template <typename Instruction>
uint32_t matchFused(const FusedPattern& pattern, const Instruction* list) {
  int op = -1, source = -1, small = 0;
  for (int i = 0; i < kFusedLookahead && pattern.steps[i] != fused_step::None; i++) {
    int at = list[i].op;
    switch (fused_step::Step step = pattern.steps[i]) {
      case fused_step::LoadLocal:
        if (at != OpLoadLocal) return 0;
        break;
      case fused_step::Source:
        source = fusedSourceOf(at);
        if (source < 0) return 0;
        if (source == kFromSmall) small = smallValueOf(at);
        break;
      case fused_step::Operator:
        if (fusedOperator(at) < 0 || !(pattern.operators >> fusedOperator(at) & 1)) return 0;
        op = at;
        break;
      default:
        if (at != -step) return 0;
    }
  }
  FusedSource from = pattern.pushed ? FusedSource(source) : kFromStack;
  return (kFusedBase + fusedIndex(pattern.form, from, op)) | uint32_t(small) << kSmallShift;
}

// Marks the fusable sequences of a function that has not run before.
void scanForFusion(CompiledFunction* f) {
  uint32_t* code = f->code;
  if (!code || f->codeWords == 0 || (code[0] & kScannedMark)) return;
  struct Instruction {
    uint32_t at;
    int op;
  };
  std::vector<Instruction> list;
  for (uint32_t at = 0; at < f->codeWords;) {
    int op = int(code[at] & 0xFF);
    if (!isOpcode(op) || code[at] > 0xFF) break;  // nothing past an unknown word is decoded
    list.push_back({at, op});
    at += opcodeInfo(op).operand == OperandNone ? 1 : 2;
  }
  size_t count = list.size();
  for (int i = 1; i < kFusedLookahead; i++) list.push_back({f->codeWords, -1});  // room to look ahead
  std::vector<uint32_t> fused(list.size(), 0);
  for (size_t k = 0; k < count; k++) {
    for (const FusedPattern& pattern : kFusedPatterns) {
      if ((fused[k] = matchFused(pattern, &list[k]))) break;
    }
  }
  for (size_t k = 0; k < count; k++)
    if (fused[k]) code[list[k].at] = fused[k];
  code[0] |= kScannedMark;
}

#if VORLO_FUSION
// The value a pushing instruction would push, or null when that instruction would fail its checks
// (it then runs on its own and reports the failure).
VORLO_INLINE const ScriptValue* localSource(ScriptValue* fp, ScriptValue* sp, uint32_t operand) {
  int32_t j = int32_t(operand);
  ScriptValue* p = localSlot(fp, j);
  return j >= 0 && p > sp ? p : nullptr;
}
VORLO_INLINE const ScriptValue* constSource(ScriptVM* vm, uint32_t index) {
  return index < vm->constants.count ? &vm->constants.values[index] : nullptr;
}
VORLO_INLINE const ScriptValue* slotSource(ScriptValue* fp, ScriptValue* ceiling, uint32_t operand) {
  int32_t k = int32_t(operand);
  ScriptValue* p = fp + k + 1;
  return k >= 0 && p <= slotLimit(fp, ceiling) ? p : nullptr;
}

// An operator on two values that need no conversion: false when the general operator must run. The
// results are those of the single instructions' handlers (and of the operator functions).
template <int Op>
VORLO_INLINE bool fastBinary(const ScriptValue& a, const ScriptValue& b, ScriptValue* out) {
  bool integers = a.kind == KindInteger && b.kind == KindInteger;
  if constexpr (Op == OpAdd || Op == OpSub || Op == OpMul) {
    if (integers) {
      uint64_t x = a.bits, y = b.bits;
      *out = ScriptValue::make(KindInteger, Op == OpAdd ? x + y : Op == OpSub ? x - y : x * y);
      return true;
    }
    if (!isNumberPair(a, b)) return false;
    double x = numberAsDouble(a), y = numberAsDouble(b);
    *out = floatResult(Op == OpAdd ? x + y : Op == OpSub ? x - y : x * y);
    return true;
  } else if constexpr (Op == OpDiv) {
    if (!isNumberPair(a, b)) return false;
    *out = divideNumbers(a, b);
    return true;
  } else if constexpr (Op == OpMod) {
    if (!integers) return false;
    *out = integerRemainder(a.asInt(), b.asInt());
    return true;
  } else if constexpr (Op == OpAnd || Op == OpXor) {
    if (!integers) return false;
    *out = ScriptValue::make(KindInteger, Op == OpAnd ? a.bits & b.bits : a.bits ^ b.bits);
    return true;
  } else {
    static_assert(Op == OpLt || Op == OpGt || Op == OpLe || Op == OpGe);
    bool r;
    if (integers) {
      int64_t x = a.asInt(), y = b.asInt();
      r = Op == OpLt ? x < y : Op == OpGt ? x > y : Op == OpLe ? x <= y : x >= y;
    } else if (isNumberPair(a, b)) {
      double x = numberAsDouble(a), y = numberAsDouble(b);
      r = Op == OpLt ? x < y : Op == OpGt ? x > y : Op == OpLe ? x <= y : x >= y;
    } else {
      return false;
    }
    *out = ScriptValue::boolean(r);
    return true;
  }
}

#endif  // VORLO_FUSION

// Values each opcode takes from the stack (the opcode table's count; for the instructions whose use
// depends on the operand, what the handler checks itself). Checked against the table once.
constexpr int popsOf(int op) {
  switch (op) {
    case OpAdd2: case OpInc: case OpJTrueB: case OpJFalseB: case OpThrow: case OpPushWith:
    case OpLoadArgX: case OpArgFix: case OpDelProp: case OpNew: case OpTypeof: case OpReturn:
    case OpCall: case OpCallName: case OpCallMethod: case OpJTrue: case OpJFalse: case OpNot:
    case OpNeg: case OpGetProp: case OpStoreLocal: case OpStoreSlot: case OpStoreGlobal: case OpPop:
    case OpDup: case OpStoreName: case OpDelName: case OpReleaseGlobal: case OpReleaseLocal:
    case OpReleaseSlot:
      return 1;
    case OpDelElem: case OpUshr: case OpShr: case OpShl: case OpXor: case OpOr: case OpAnd:
    case OpMod: case OpDiv: case OpMul: case OpAdd: case OpSub: case OpSne: case OpSeq: case OpGe:
    case OpLe: case OpGt: case OpLt: case OpNe: case OpEq: case OpNextItem: case OpGetElem:
    case OpSetProp: case OpSwap:
      return 2;
    case OpSetElem:
      return 3;
    default:
      return 0;
  }
}

void checkPopCounts() {
  for (int op = kFirstOpcode; op <= kLastOpcode; op++) {
    if (popsOf(op) != opcodeInfo(op).pops) {
      std::fprintf(stderr, "interpreter: operand count of %s disagrees with the opcode table\n",
                   opcodeInfo(op).mnemonic);
      std::abort();
    }
  }
}

// The interpreter loop. Returns when the outermost frame returns or END is reached, with the
// result in vm->result.
//
// The machine's copy of the stack pointer and of the running instruction (what the collector, nested
// runs and error locations read) is brought up to date only by the instructions that can call out,
// allocate or fail: before anything that leaves the loop's own code. The rest run on registers.
#if defined(__GNUC__) && !defined(__clang__)
// Global common-subexpression elimination merges the handlers' dispatch jumps into one shared
// indirect jump (and hoists work into it), which the branch predictor cannot follow.
__attribute__((optimize("no-gcse")))
#endif
void execute(ScriptVM* vm, Registers& r, size_t frameBase) {
  const uint32_t* ip = r.ip;
  const uint32_t* pc = ip;  // the instruction being run
  ScriptValue* sp = r.sp;
  ScriptValue* fp = r.fp;
  ScriptValue* const lowest = vm->stack + kInstructionReserve;
  ScriptValue* const ceiling = r.ceiling;
  ExecutionState& exec = vm->exec;
  uint32_t op = 0;

#define SYNC() (vm->stackPointer = sp, exec.savedIp = pc)
#define BAD()     \
  do {            \
    SYNC();       \
    badCode(vm);  \
  } while (0)
  // The instruction's operands must lie below the frame header.
#define NEED(op) \
  if (sp + popsOf(op) > operandLimit(fp)) [[unlikely]] BAD()
  // After an instruction that grew the stack: fewer than the reserve of free slots is an overflow,
  // reported at the next instruction.
#define PUSHED()                        \
  if (sp < lowest) [[unlikely]] {       \
    vm->stackPointer = sp;              \
    exec.savedIp = ip;                  \
    stackOverflow(vm);                  \
  }
#define OPERAND() (*ip++)
#define PUSH(v) (putValue(sp, (v)), sp--)
#define JUMP_BY(rel) (ip += int32_t(rel))
#define CHECK_SPAN(n) \
  if ((n) < 0 || sp + (n) > operandLimit(fp)) BAD()
#define SLOT_CHECK(k, p) \
  if ((k) < 0 || (p) > slotLimit(fp, ceiling)) BAD()
  // A call's count slot must describe values of this frame (negative counts carry literal elements).
#define ARGS_CHECK()                                                          \
  do {                                                                        \
    int64_t room = operandLimit(fp) - (sp + 2);                               \
    int64_t count = sp[2].asInt();                                            \
    if (!sp[2].is(KindInteger) || count > room || -count > room) BAD();       \
  } while (0)
  // A script call: the callee's slots are in place above sp.
#define ENTER(functionValue)                                                  \
  do {                                                                        \
    CompiledFunction* code_ = (functionValue).asFunction()->code;             \
    if (operandLimit(sp) - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm); \
    if (kFusion && !(code_->code[0] & kScannedMark)) scanForFusion(code_);   \
    exec.runningCode.push_back(code_);                                        \
    writeFrameHeader(sp, fp, ip);                                             \
    fp = sp;                                                                  \
    sp = operandLimit(fp);                                                    \
    ip = code_->code;                                                         \
  } while (0)
#define MAYBE_COLLECT() \
  if (heapCollectionDue(vm->heap)) [[unlikely]] collectionPoint(vm)

#if VORLO_FUSION
  // Fused instructions: each runs its sequence when the sources pass their checks, there is room on
  // the stack and the operator needs no conversion; otherwise the sequence's first instruction runs.
  // Scratch values of the fused instructions, shared by all of them so that the loop's frame stays
  // small (instrumented builds give every local of every handler a slot of its own).
  ScriptValue smallValue, r_, p_;
  // The value a source pushes, read at operand word ip[AT] with the stack pointer SPV it would push at.
#define SOURCE_Local(AT, SPV) localSource(fp, (SPV), ip[AT])
#define SOURCE_Const(AT, SPV) constSource(vm, ip[AT])
#define SOURCE_Slot(AT, SPV) slotSource(fp, ceiling, ip[AT])
#define SOURCE_Small(AT, SPV) (smallValue = ScriptValue::integer((*pc >> kSmallShift) & 3), &smallValue)
#define WORDS_Local 2
#define WORDS_Const 2
#define WORDS_Slot 2
#define WORDS_Small 1
#define FIRST_Local L_OpLoadLocal
#define FIRST_Const L_OpPushConst
#define FIRST_Slot L_OpLoadSlot
#define FIRST_Small L_PushSmall
#define FUSED_LABEL(FORM, SOURCE, NAME) L_F_##FORM##_##SOURCE##_##NAME
  // SOURCE; OP — the left operand is on the stack.
#define DEFINE_PushOperate(SOURCE, NAME)                                                       \
  FUSED_LABEL(PushOperate, SOURCE, NAME) : {                                                    \
    const ScriptValue* b_ = SOURCE_##SOURCE(0, sp);                                             \
    if (b_ && sp - 1 >= lowest && sp + 1 <= operandLimit(fp) && fastBinary<Op##NAME>(sp[1], *b_, &r_)) {  \
      putValue(sp + 1, r_);                                                                     \
      ip += WORDS_##SOURCE;                                                                     \
      NEXT();                                                                                   \
    }                                                                                           \
    goto FIRST_##SOURCE;                                                                        \
  }
  // LOADLOCAL; SOURCE; OP
#define DEFINE_LocalPushOperate(SOURCE, NAME)                                                 \
  FUSED_LABEL(LocalPushOperate, SOURCE, NAME) : {                                               \
    const ScriptValue* a_ = localSource(fp, sp, ip[0]);                                         \
    const ScriptValue* b_ = SOURCE_##SOURCE(2, sp - 1);                                         \
    if (a_ && b_ && sp - 2 >= lowest && fastBinary<Op##NAME>(*a_, *b_, &r_)) {                  \
      putValue(sp, r_);                                                                         \
      sp--;                                                                                     \
      ip += 2 + WORDS_##SOURCE;                                                                 \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpLoadLocal;                                                                         \
  }
  // LOADLOCAL; SOURCE; MUL; ADD or SUB (NAME): the product joins the left operand on the stack.
#define DEFINE_LocalPushMultiplyAdd(SOURCE, NAME)                                            \
  FUSED_LABEL(LocalPushMultiplyAdd, SOURCE, NAME) : {                                           \
    const ScriptValue* a_ = localSource(fp, sp, ip[0]);                                         \
    const ScriptValue* b_ = SOURCE_##SOURCE(2, sp - 1);                                         \
    if (a_ && b_ && sp - 2 >= lowest && sp + 1 <= operandLimit(fp) && fastBinary<OpMul>(*a_, *b_, &p_) && \
        fastBinary<Op##NAME>(sp[1], p_, &r_)) {                                                 \
      putValue(sp + 1, r_);                                                                     \
      ip += WORDS_##SOURCE + 3;                                                                 \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpLoadLocal;                                                                         \
  }
  // LOADLOCAL; SOURCE; CMP; DUP; JFALSEB; POP: a false result stays on the stack for the jump target.
#define DEFINE_LocalPushCompareAnd(SOURCE, NAME)                                             \
  FUSED_LABEL(LocalPushCompareAnd, SOURCE, NAME) : {                                            \
    const ScriptValue* a_ = localSource(fp, sp, ip[0]);                                         \
    const ScriptValue* b_ = SOURCE_##SOURCE(2, sp - 1);                                         \
    if (a_ && b_ && sp - 2 >= lowest && fastBinary<Op##NAME>(*a_, *b_, &r_)) {                  \
      if (r_.asBool()) {                                                                        \
        ip += WORDS_##SOURCE + 6;                                                               \
      } else {                                                                                  \
        int32_t rel_ = int32_t(ip[WORDS_##SOURCE + 4]);                                         \
        putValue(sp, r_);                                                                       \
        sp--;                                                                                   \
        ip += WORDS_##SOURCE + 5;                                                               \
        JUMP_BY(rel_);                                                                          \
      }                                                                                         \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpLoadLocal;                                                                         \
  }
  // SOURCE; CMP; JFALSEB
#define DEFINE_PushCompareJump(SOURCE, NAME)                                                  \
  FUSED_LABEL(PushCompareJump, SOURCE, NAME) : {                                                \
    const ScriptValue* b_ = SOURCE_##SOURCE(0, sp);                                             \
    if (b_ && sp - 1 >= lowest && sp + 1 <= operandLimit(fp) && fastBinary<Op##NAME>(sp[1], *b_, &r_)) {  \
      sp++;                                                                                     \
      int32_t rel_ = int32_t(ip[WORDS_##SOURCE + 1]);                                           \
      ip += WORDS_##SOURCE + 2;                                                                 \
      if (!r_.asBool()) JUMP_BY(rel_);                                                          \
      NEXT();                                                                                   \
    }                                                                                           \
    goto FIRST_##SOURCE;                                                                        \
  }
  // LOADLOCAL; SOURCE; CMP; JFALSEB
#define DEFINE_LocalPushCompareJump(SOURCE, NAME)                                            \
  FUSED_LABEL(LocalPushCompareJump, SOURCE, NAME) : {                                           \
    const ScriptValue* a_ = localSource(fp, sp, ip[0]);                                         \
    const ScriptValue* b_ = SOURCE_##SOURCE(2, sp - 1);                                         \
    if (a_ && b_ && sp - 2 >= lowest && fastBinary<Op##NAME>(*a_, *b_, &r_)) {                  \
      int32_t rel_ = int32_t(ip[WORDS_##SOURCE + 3]);                                           \
      ip += WORDS_##SOURCE + 4;                                                                 \
      if (!r_.asBool()) JUMP_BY(rel_);                                                          \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpLoadLocal;                                                                         \
  }
  // SOURCE; OP; STORELOCAL — the result goes to the local, the left operand is popped.
#define DEFINE_PushOperateStore(SOURCE, NAME)                                                 \
  FUSED_LABEL(PushOperateStore, SOURCE, NAME) : {                                               \
    const ScriptValue* b_ = SOURCE_##SOURCE(0, sp);                                             \
    int32_t z_ = int32_t(ip[WORDS_##SOURCE + 1]);                                               \
    ScriptValue* to_ = localSlot(fp, z_);                                                             \
    if (b_ && sp - 1 >= lowest && sp + 1 <= operandLimit(fp) && z_ >= 0 && to_ > sp + 1 &&                \
        fastBinary<Op##NAME>(sp[1], *b_, &r_)) {                                                \
      putValue(to_, r_);                                                                        \
      sp++;                                                                                     \
      ip += WORDS_##SOURCE + 2;                                                                 \
      NEXT();                                                                                   \
    }                                                                                           \
    goto FIRST_##SOURCE;                                                                        \
  }
  // LOADLOCAL; SOURCE; OP; STORELOCAL
#define DEFINE_LocalPushOperateStore(SOURCE, NAME)                                           \
  FUSED_LABEL(LocalPushOperateStore, SOURCE, NAME) : {                                          \
    const ScriptValue* a_ = localSource(fp, sp, ip[0]);                                         \
    const ScriptValue* b_ = SOURCE_##SOURCE(2, sp - 1);                                         \
    int32_t z_ = int32_t(ip[WORDS_##SOURCE + 3]);                                               \
    ScriptValue* to_ = localSlot(fp, z_);                                                             \
    if (a_ && b_ && sp - 2 >= lowest && z_ >= 0 && to_ > sp && fastBinary<Op##NAME>(*a_, *b_, &r_)) { \
      putValue(to_, r_);                                                                        \
      ip += WORDS_##SOURCE + 4;                                                                 \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpLoadLocal;                                                                         \
  }
  // SOURCE; STORELOCAL
#define DEFINE_PushStore(SOURCE, NAME)                                                         \
  FUSED_LABEL(PushStore, SOURCE, NAME) : {                                                      \
    const ScriptValue* b_ = SOURCE_##SOURCE(0, sp);                                             \
    int32_t z_ = int32_t(ip[WORDS_##SOURCE]);                                                   \
    ScriptValue* to_ = localSlot(fp, z_);                                                             \
    if (b_ && sp - 1 >= lowest && z_ >= 0 && to_ > sp) {                                        \
      putValue(to_, *b_);                                                                       \
      ip += WORDS_##SOURCE + 1;                                                                 \
      NEXT();                                                                                   \
    }                                                                                           \
    goto FIRST_##SOURCE;                                                                        \
  }
  // CMP; JFALSEB
#define DEFINE_CompareJump(SOURCE, NAME)                                                       \
  FUSED_LABEL(CompareJump, SOURCE, NAME) : {                                                    \
    if (sp + 2 <= operandLimit(fp) && fastBinary<Op##NAME>(sp[2], sp[1], &r_)) {                          \
      sp += 2;                                                                                  \
      int32_t rel_ = int32_t(ip[1]);                                                            \
      ip += 2;                                                                                  \
      if (!r_.asBool()) JUMP_BY(rel_);                                                          \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_Op##NAME;                                                                            \
  }
  // DUP; JFALSEB or JTRUEB (NAME); POP: the value stays when the jump is taken, else it is popped.
#define DEFINE_DupJump(SOURCE, NAME)                                                            \
  FUSED_LABEL(DupJump, SOURCE, NAME) : {                                                        \
    if (sp + 1 <= operandLimit(fp) && sp - 1 >= lowest) {                                       \
      if ((uint32_t(sp[1].bits) == 0) == (Op##NAME == OpJFalseB)) {                             \
        ip += 2 + int32_t(ip[1]);                                                               \
      } else {                                                                                  \
        sp++;                                                                                   \
        ip += 3;                                                                                \
      }                                                                                         \
      NEXT();                                                                                   \
    }                                                                                           \
    goto L_OpDup;                                                                               \
  }
#endif

#if VORLO_COMPUTED_GOTO
  static void* table[kDispatchMask + 1];
  static bool tableReady = false;
  if (!tableReady) {
    checkPopCounts();
    for (auto& t : table) t = &&L_bad;
#define OPCODE_ENTRY(name) table[name] = &&L_##name;
#include "engine/opcode_list.h"
#undef OPCODE_ENTRY
#if VORLO_FUSION
#define FUSED_ENTRY(F, S, N) table[kFusedBase + fusedIndex(k##F, kFrom##S, Op##N)] = &&FUSED_LABEL(F, S, N);
#define FUSED_FORM(F, SOURCES, OPERATORS, ...) SOURCES(FUSED_ENTRY, F, OPERATORS)
#include "engine/fused_instructions.inc"
#undef FUSED_ENTRY
#endif
    tableReady = true;
  }
#define OP(name) L_##name
#define OP_BAD L_bad
#define NEXT()           \
  do {                   \
    pc = ip;             \
    op = *ip++ & kDispatchMask; \
    goto* table[op];     \
  } while (0)
  PUSHED();
  NEXT();
  {
#else
#define OP(name) case name
#define OP_BAD default
#define NEXT() continue
  static bool countsChecked = false;
  if (!countsChecked) {
    checkPopCounts();
    countsChecked = true;
  }
  PUSHED();
  for (;;) {
    pc = ip;
    op = *ip++ & 0xFF;
    switch (op) {
#endif

    OP(OpNop) : NEXT();

    // --- stack ---
    OP(OpDup) : NEED(OpDup); putValue(sp, sp[1]); sp--; PUSHED(); NEXT();
    OP(OpPop) : NEED(OpPop); sp++; NEXT();
    OP(OpPopN) : {
      int32_t b = int32_t(OPERAND());
      CHECK_SPAN(b);
      sp += b;
      NEXT();
    }
    OP(OpSwap) : {
      NEED(OpSwap);
      ScriptValue t = loadValue(sp[1]);
      putValue(sp + 1, sp[2]);
      putValue(sp + 2, t);
      NEXT();
    }
    OP(OpDropUnder) : {
      int32_t b = int32_t(OPERAND());
      CHECK_SPAN(b);
      CHECK_SPAN(b + 1);  // the top and the b values under it
      ScriptValue t = loadValue(sp[1]);
      sp += b;
      putValue(sp + 1, t);
      NEXT();
    }
    OP(OpRoll) : {
      int32_t b = int32_t(OPERAND());
      if (b >= 2) {
        CHECK_SPAN(b);
        ScriptValue t = loadValue(sp[1]);
        for (int32_t i = 1; i < b; i++) sp[i] = sp[i + 1];
        sp[b] = t;
      } else if (b <= -2) {
        int32_t m = -b;
        CHECK_SPAN(m);
        ScriptValue t = loadValue(sp[m]);
        for (int32_t i = m; i > 1; i--) sp[i] = sp[i - 1];
        sp[1] = t;
      }
      NEXT();
    }
    OP(OpPush0) : PUSH(ScriptValue::integer(0)); PUSHED(); NEXT();
    OP(OpPush1) : PUSH(ScriptValue::integer(1)); PUSHED(); NEXT();
    OP(OpPush2) : PUSH(ScriptValue::integer(2)); PUSHED(); NEXT();
    OP(OpPush3) : PUSH(ScriptValue::integer(3)); PUSHED(); NEXT();
    OP(OpPushInt) : PUSH(ScriptValue::integer(int32_t(OPERAND()))); PUSHED(); NEXT();
    OP(OpPushUndef) : PUSH(ScriptValue::undefined()); PUSHED(); NEXT();
    OP(OpPushNull) : PUSH(ScriptValue::null()); PUSHED(); NEXT();
    OP(OpPushTrue) : PUSH(ScriptValue::boolean(true)); PUSHED(); NEXT();
    OP(OpPushFalse) : PUSH(ScriptValue::boolean(false)); PUSHED(); NEXT();
    OP(OpPushConst) : {
      uint32_t index = OPERAND();
      if (index >= vm->constants.count) BAD();
      PUSH(vm->constants.values[index]);
      PUSHED();
      NEXT();
    }
    // The payload grows whatever the kind, except that a reference is never turned into another
    // address (compiled code uses these on integers only).
    OP(OpAdd2) : NEED(OpAdd2); if (sp[1].isHeapKind()) BAD(); sp[1].bits += 2; NEXT();
    OP(OpInc) : NEED(OpInc); if (sp[1].isHeapKind()) BAD(); sp[1].bits += 1; NEXT();

    // --- variables ---
    OP(OpLoadGlobal) : {
      Atom name = OPERAND();
      if (name < vm->globals.count && !vm->globals.values[name].isUndefined()) {
        PUSH(vm->globals.values[name]);
      } else {
        SYNC();
        PUSH(loadGlobal(vm, name));
      }
      PUSHED();
      NEXT();
    }
    OP(OpStoreGlobal) : {
      NEED(OpStoreGlobal);
      Atom name = OPERAND();
      if (name < vm->globals.count)  // only interned names have globals
        putValue(&vm->globals.values[name], sp[1].isUndefined() ? ScriptValue::undefined() : sp[1]);
      sp++;
      NEXT();
    }
    OP(OpLoadLocal) : {
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = localSlot(fp, j);
      if (j < 0 || p <= sp) BAD();
      PUSH(*p);
      PUSHED();
      NEXT();
    }
    OP(OpStoreLocal) : {
      NEED(OpStoreLocal);
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = localSlot(fp, j);
      if (j < 0 || p <= sp + 1) BAD();
      putValue(p, sp[1]);
      sp++;
      NEXT();
    }
    OP(OpLoadSlot) : {
      int32_t k = int32_t(OPERAND());
      ScriptValue* p = fp + k + 1;
      SLOT_CHECK(k, p);
      PUSH(*p);
      PUSHED();
      NEXT();
    }
    OP(OpStoreSlot) : {
      NEED(OpStoreSlot);
      int32_t k = int32_t(OPERAND());
      ScriptValue* p = fp + k + 1;
      SLOT_CHECK(k, p);
      putValue(p, sp[1]);
      sp++;
      NEXT();
    }
    OP(OpLoadArgX) : {
      NEED(OpLoadArgX);
      ScriptValue* p = sp[1].is(KindInteger) ? fp + sp[1].asInt() + 1 : nullptr;
      sp[1] = p && p > fp && p <= slotLimit(fp, ceiling) ? *p : ScriptValue::undefined();
      NEXT();
    }
    OP(OpLocals) : {
      int32_t h = int32_t(OPERAND());
      if (h < 0) h = 0;
      if (sp - h - vm->stack + 1 < kMinFreeSlots) {
        SYNC();
        stackOverflow(vm);
      }
      for (int32_t i = 0; i < h; i++) PUSH(ScriptValue::undefined());
      NEXT();
    }
    OP(OpArgFix) : {
      NEED(OpArgFix);
      int32_t b = int32_t(OPERAND());
      int64_t c = sp[1].asInt();
      sp++;
      if (c < 2) c = 2;  // `this` and the count are always there
      if (c > slotLimit(fp, ceiling) - fp) c = slotLimit(fp, ceiling) - fp;  // what the caller really pushed
      if (c < b) {
        int64_t d = b - c;
        if (sp - d - vm->stack + 1 < kMinFreeSlots) {
          sp--;  // the state the instruction started from
          SYNC();
          stackOverflow(vm);
        }
        ScriptValue* block = sp + 1;
        std::memmove(block - d, block, size_t(fp + c - sp) * sizeof(ScriptValue));
        for (int64_t k = c; k < b; k++) fp[k + 1 - d] = ScriptValue::undefined();
        fp -= d;
        sp -= d;
        headerSlot(fp, kFrameInfoSlot) = ScriptValue::make(KindFrameInfo, uint64_t(c) | (uint64_t(d) << 32));
      }
      NEXT();
    }
    OP(OpLoadName) : {
      SYNC();
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
      PUSHED();
      NEXT();
    }
    OP(OpStoreName) : {
      NEED(OpStoreName);
      SYNC();
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
      NEED(OpDelName);
      SYNC();
      Atom name = OPERAND();
      if (WithList* w = withListOf(fp)) {
        for (uint64_t i = 0; i < w->count; i++)
          if (deleteFromWithEntry(vm, w->values[i], name)) break;
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpReleaseGlobal) : {
      NEED(OpReleaseGlobal);
      SYNC();
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
      NEED(OpReleaseLocal);
      SYNC();
      int32_t j = int32_t(OPERAND());
      ScriptValue* p = localSlot(fp, j);
      if (j < 0 || p <= sp + 1) badCode(vm);
      if (p->is(KindNative)) {
        releaseNativeData(p->asNative());
        *p = ScriptValue::undefined();
      }
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpReleaseSlot) : {
      NEED(OpReleaseSlot);
      SYNC();
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
    OP(OpGetProp) : {
      NEED(OpGetProp);
      Atom name = OPERAND();
      if (sp[1].isObject()) {
        // An own property is the first that the lookup finds.
        const ScriptObject* o = sp[1].asObject();
        for (uint32_t i = 0, n = o->slotCount; i < n; i++) {
          if (o->slots[i].key == name) {
            putValue(sp + 1, o->slots[i].value);
            NEXT();
          }
        }
        ScriptValue v;
        if (objectGet(vm, o, name, &v)) {
          putValue(sp + 1, v);
          NEXT();
        }
      }
      SYNC();
      sp[1] = getProperty(vm, sp[1], name);
      NEXT();
    }
    OP(OpSetProp) : {
      NEED(OpSetProp);
      SYNC();
      Atom name = OPERAND();
      bool stored = false;
      if (sp[1].isObject()) {
        // Changing an own property allocates nothing; a new one goes through the object's set.
        ScriptObject* o = sp[1].asObject();
        for (uint32_t i = 0, n = o->slotCount; i < n; i++) {
          if (o->slots[i].key == name) {
            putValue(&o->slots[i].value, sp[2]);
            stored = true;
            break;
          }
        }
      }
      if (!stored) setProperty(vm, sp[1], name, sp[2]);
      sp += 2;
      vm->stackPointer = sp;
      MAYBE_COLLECT();
      NEXT();
    }
    OP(OpGetElem) : {
      NEED(OpGetElem);
      SYNC();
      ScriptValue v = getElement(vm, sp[2], sp[1]);
      sp++;
      sp[1] = v;
      NEXT();
    }
    OP(OpSetElem) : {
      NEED(OpSetElem);
      SYNC();
      setElement(vm, sp[2], sp[1], sp[3]);
      sp += 3;
      vm->stackPointer = sp;
      MAYBE_COLLECT();
      NEXT();
    }
    OP(OpDelProp) : {
      NEED(OpDelProp);
      SYNC();
      deleteProperty(vm, sp[1], OPERAND());
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpDelElem) : {
      NEED(OpDelElem);
      SYNC();
      deleteElement(vm, sp[2], sp[1]);
      sp++;
      sp[1] = ScriptValue::undefined();
      NEXT();
    }
    OP(OpNextItem) : {
      NEED(OpNextItem);
      SYNC();
      ScriptValue item;
      bool more = sp[1].is(KindInteger) && nextItem(vm, sp[2], sp[1].bits, &item);
      sp[2] = more ? item : ScriptValue::undefined();
      sp[1] = ScriptValue::boolean(more);
      NEXT();
    }

    // --- operators ---
    // Two integers, and for arithmetic and comparisons any two numbers, are handled in place; other
    // operands go to the operator functions, which convert them.
#define BOTH_INTEGERS() (sp[1].is(KindInteger) && sp[2].is(KindInteger))
#define RESULT(expr)    \
  do {                  \
    ScriptValue v_ = (expr); \
    sp++;               \
    putValue(sp + 1, v_); \
  } while (0)
#define BINARY(fn)                \
  {                               \
    SYNC();                       \
    RESULT(fn(vm, sp[2], sp[1])); \
    NEXT();                       \
  }
#define INTEGER_OP(expr)                    \
  if (BOTH_INTEGERS()) {                    \
    int64_t a = sp[2].asInt(), b = sp[1].asInt(); \
    (void)a;                                \
    (void)b;                                \
    sp[2].bits = uint64_t(expr);            \
    sp++;                                   \
    NEXT();                                 \
  }
    OP(OpAdd) : {
      NEED(OpAdd);
      INTEGER_OP(uint64_t(a) + uint64_t(b))
      if (isNumberPair(sp[2], sp[1])) {
        RESULT(floatResult(numberAsDouble(sp[2]) + numberAsDouble(sp[1])));
        NEXT();
      }
      SYNC();
      ScriptValue v = opAdd(vm, sp[2], sp[1]);
      sp++;
      sp[1] = v;
      if (v.isString()) MAYBE_COLLECT();
      NEXT();
    }
    OP(OpSub) : {
      NEED(OpSub);
      INTEGER_OP(uint64_t(a) - uint64_t(b))
      if (isNumberPair(sp[2], sp[1])) {
        RESULT(floatResult(numberAsDouble(sp[2]) - numberAsDouble(sp[1])));
        NEXT();
      }
      BINARY(opSub)
    }
    OP(OpMul) : {
      NEED(OpMul);
      INTEGER_OP(uint64_t(a) * uint64_t(b))
      // An infinity times zero is NaN here too.
      if (isNumberPair(sp[2], sp[1])) {
        RESULT(floatResult(numberAsDouble(sp[2]) * numberAsDouble(sp[1])));
        NEXT();
      }
      BINARY(opMul)
    }
    OP(OpDiv) : {
      NEED(OpDiv);
      if (isNumberPair(sp[2], sp[1])) {
        RESULT(divideNumbers(sp[2], sp[1]));
        NEXT();
      }
      BINARY(opDiv)
    }
    OP(OpMod) : {
      NEED(OpMod);
      if (BOTH_INTEGERS()) {
        RESULT(integerRemainder(sp[2].asInt(), sp[1].asInt()));
        NEXT();
      }
      BINARY(opMod)
    }
    OP(OpAnd) : NEED(OpAnd); INTEGER_OP(a & b) BINARY(opAnd)
    OP(OpOr) : NEED(OpOr); INTEGER_OP(a | b) BINARY(opOr)
    OP(OpXor) : NEED(OpXor); INTEGER_OP(a ^ b) BINARY(opXor)
    OP(OpShl) : NEED(OpShl); INTEGER_OP(shiftLeft(a, uint64_t(b))) BINARY(opShl)
    OP(OpShr) : NEED(OpShr); INTEGER_OP(shiftRight(a, uint64_t(b))) BINARY(opShr)
    OP(OpUshr) : NEED(OpUshr); BINARY(opUshr)
#undef INTEGER_OP
#undef BINARY
#define COMPARE(name, relation, cmp)                                                    \
  {                                                                                     \
    NEED(name);                                                                         \
    if (BOTH_INTEGERS()) {                                                              \
      bool b_ = sp[2].asInt() cmp sp[1].asInt();                                        \
      RESULT(ScriptValue::boolean(b_));                                                 \
      NEXT();                                                                           \
    }                                                                                   \
    if (isNumberPair(sp[2], sp[1])) {                                                   \
      bool b_ = numberAsDouble(sp[2]) cmp numberAsDouble(sp[1]);                        \
      RESULT(ScriptValue::boolean(b_));                                                 \
      NEXT();                                                                           \
    }                                                                                   \
    SYNC();                                                                             \
    RESULT(opCompare(vm, Relation::relation, sp[2], sp[1]));                            \
    NEXT();                                                                             \
  }
    OP(OpLt) : COMPARE(OpLt, Less, <)
    OP(OpGt) : COMPARE(OpGt, Greater, >)
    OP(OpLe) : COMPARE(OpLe, LessOrEqual, <=)
    OP(OpGe) : COMPARE(OpGe, GreaterOrEqual, >=)
#undef COMPARE
    // Loose equality compares two numbers as doubles, integers included.
    OP(OpEq) : {
      NEED(OpEq);
      bool b;
      if (isNumberPair(sp[2], sp[1])) {
        b = numberAsDouble(sp[2]) == numberAsDouble(sp[1]);
      } else {
        SYNC();
        b = looseEquals(vm, sp[2], sp[1]);
      }
      RESULT(ScriptValue::boolean(b));
      NEXT();
    }
    OP(OpNe) : {
      NEED(OpNe);
      bool b;
      if (isNumberPair(sp[2], sp[1])) {
        b = numberAsDouble(sp[2]) != numberAsDouble(sp[1]);
      } else {
        SYNC();
        b = !looseEquals(vm, sp[2], sp[1]);
      }
      RESULT(ScriptValue::boolean(b));
      NEXT();
    }
    OP(OpSeq) : {
      NEED(OpSeq);
      bool b = BOTH_INTEGERS() ? sp[2].bits == sp[1].bits : strictEquals(sp[2], sp[1]);
      RESULT(ScriptValue::boolean(b));
      NEXT();
    }
    OP(OpSne) : {
      NEED(OpSne);
      bool b = BOTH_INTEGERS() ? sp[2].bits != sp[1].bits : !strictEquals(sp[2], sp[1]);
      RESULT(ScriptValue::boolean(b));
      NEXT();
    }
#undef RESULT
#undef BOTH_INTEGERS
    OP(OpNot) : NEED(OpNot); sp[1] = opNot(sp[1]); NEXT();
    OP(OpNeg) : {
      NEED(OpNeg);
      if (sp[1].is(KindInteger)) {
        sp[1].bits = uint64_t(0) - sp[1].bits;
      } else if (sp[1].is(KindFloat)) {
        sp[1] = ScriptValue::number(-sp[1].asFloat());
      } else {
        SYNC();
        sp[1] = opNeg(vm, sp[1]);
      }
      NEXT();
    }
    OP(OpTypeof) : {
      NEED(OpTypeof);
      SYNC();
      sp[1] = opTypeof(vm, sp[1]);
      MAYBE_COLLECT();
      NEXT();
    }

    // --- jumps ---
    OP(OpJump) : {
      uint32_t rel = OPERAND();
      JUMP_BY(rel);
      NEXT();
    }
    OP(OpJTrueB) : {
      NEED(OpJTrueB);
      uint32_t rel = OPERAND();
      if (uint32_t((++sp)->bits) != 0) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJFalseB) : {
      NEED(OpJFalseB);
      uint32_t rel = OPERAND();
      if (uint32_t((++sp)->bits) == 0) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJTrue) : {
      NEED(OpJTrue);
      uint32_t rel = OPERAND();
      if (toBoolean(*++sp)) JUMP_BY(rel);
      NEXT();
    }
    OP(OpJFalse) : {
      NEED(OpJFalse);
      uint32_t rel = OPERAND();
      if (jumpsIfFalse(*++sp)) JUMP_BY(rel);
      NEXT();
    }

    // --- with-scope and exceptions ---
    OP(OpPushWith) : {
      NEED(OpPushWith);
      SYNC();
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
      SYNC();
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
      NEED(OpThrow);
      SYNC();
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
      NEED(OpCallName);
      SYNC();
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
            PUSHED();
            NEXT();
          }
          if (outcome == CallOutcome::Script) {
            sp[1] = entry;
            ENTER(function);
            NEXT();
          }
          w = withListOf(fp);
        }
      }
      goto callValue;
    }
    OP(OpCall) : {
      NEED(OpCall);
      SYNC();
    callValue:
      ARGS_CHECK();
      if (sp[1].is(KindFunction)) {
        ScriptValue function = sp[1];
        sp[1] = ScriptValue::null();
        ENTER(function);
        NEXT();
      }
      ScriptValue result, function;
      CallOutcome outcome = resolveCall(vm, sp[1], sp + 2, &result, &function);
      sp[1] = ScriptValue::null();
      if (outcome == CallOutcome::Done) {
        PUSH(result);
      } else if (outcome == CallOutcome::Script) {
        ENTER(function);
        NEXT();
      } else {
        writeWarning(vm, kUndefinedFunction);
        PUSH(ScriptValue::undefined());
      }
      PUSHED();
      NEXT();
    }
    OP(OpCallMethod) : {
      NEED(OpCallMethod);
      SYNC();
      Atom name = OPERAND();
      ARGS_CHECK();
      ScriptValue result, function;
      if (sp[1].isObject() && objectGet(vm, sp[1].asObject(), name, &function) && function.is(KindFunction)) {
        ENTER(function);
        NEXT();
      }
      CallOutcome outcome = resolveMethod(vm, sp[1], name, sp + 2, &result, &function);
      if (outcome == CallOutcome::Done) {
        PUSH(result);
        vm->stackPointer = sp;
        collectionPoint(vm);
      } else if (outcome == CallOutcome::Script) {
        ENTER(function);
        NEXT();
      } else {
        writeWarning(vm, kUnknownMethod, atomName(vm, name));
        PUSH(ScriptValue::undefined());
      }
      PUSHED();
      NEXT();
    }
    OP(OpNew) : {
      NEED(OpNew);
      SYNC();
      ARGS_CHECK();
      if (sp[1].is(KindFunction)) {
        ScriptValue function = sp[1];
        sp[1] = newConstructedObject(vm, function.asFunction());
        collectionPoint(vm);
        ENTER(function);
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
      PUSHED();
      NEXT();
    }
    OP(OpReturn) : {
      NEED(OpReturn);
      ScriptValue value = loadValue(sp[1]);
      if (isOutermostFrame(fp)) {
        SYNC();
        vm->result = value;
        return;
      }
      uint64_t info = headerSlot(fp, kFrameInfoSlot).bits;
      uint32_t count = uint32_t(info), padded = uint32_t(info >> 32);
      ScriptValue* callerFp = callerOf(fp);
      auto* returnIp = static_cast<const uint32_t*>(headerSlot(fp, kFrameReturnSlot).asPointer());
      ScriptValue* home = fp + padded;
      if (padded) std::memmove(home + 1, fp + 1, size_t(count) * sizeof(ScriptValue));
      putValue(home, value);
      sp = home - 1;
      fp = callerFp;
      ip = returnIp;
      exec.runningCode.pop_back();
      // Handlers the returning function left installed would resume in a frame that is gone.
      while (exec.errorFrames.size() > frameBase && exec.errorFrames.back().codeDepth > exec.runningCode.size())
        exec.errorFrames.pop_back();
      PUSHED();
      NEXT();
    }
    OP(OpEnd) : {
      SYNC();
      vm->result = sp[1];
      return;
    }
    OP(OpHalt) : BAD();
    OP_BAD : BAD();
#if VORLO_FUSION
    // --- fused instructions (see scanForFusion) ---
    L_PushSmall : PUSH(ScriptValue::integer((*pc >> kSmallShift) & 3)); PUSHED(); NEXT();
#define FUSED_DEFINE(F, S, N) DEFINE_##F(S, N)
#define FUSED_FORM(F, SOURCES, OPERATORS, ...) SOURCES(FUSED_DEFINE, F, OPERATORS)
#include "engine/fused_instructions.inc"
#undef FUSED_DEFINE
#endif
#if VORLO_COMPUTED_GOTO
  }
#else
    }
  }
#endif
#undef SYNC
#undef BAD
#undef NEED
#undef PUSHED
#undef OPERAND
#undef PUSH
#undef JUMP_BY
#undef CHECK_SPAN
#undef SLOT_CHECK
#undef ARGS_CHECK
#undef ENTER
#undef MAYBE_COLLECT
#if VORLO_FUSION
#undef SOURCE_Local
#undef SOURCE_Const
#undef SOURCE_Slot
#undef SOURCE_Small
#undef WORDS_Local
#undef WORDS_Const
#undef WORDS_Slot
#undef WORDS_Small
#undef FIRST_Local
#undef FIRST_Const
#undef FIRST_Slot
#undef FIRST_Small
#undef FUSED_LABEL
#undef DEFINE_PushOperate
#undef DEFINE_LocalPushOperate
#undef DEFINE_LocalPushMultiplyAdd
#undef DEFINE_LocalPushCompareAnd
#undef DEFINE_PushCompareJump
#undef DEFINE_LocalPushCompareJump
#undef DEFINE_PushOperateStore
#undef DEFINE_LocalPushOperateStore
#undef DEFINE_PushStore
#undef DEFINE_CompareJump
#undef DEFINE_DupJump
#endif
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
  exec.stackOverflow = false;  // the script handles it
  if (!thrown) value = ScriptValue::string(newStringFromAnsi(vm, vm->message, std::strlen(vm->message)));
  *r.sp-- = value;
  return true;
}

void formatFailure(ScriptVM* vm, const char* what) {
  std::snprintf(vm->message, sizeof vm->message, "Runtime error: %s", what);
}

}  // namespace

const char* fusedInstructionName(uint32_t word) {
  uint32_t op = word & kDispatchMask;
  return op >= kFusedBase && op - kFusedBase < kFusedNames.size() ? kFusedNames[op - kFusedBase] : nullptr;
}

void collectionPoint(ScriptVM* vm) {
  if (!collectionDue(vm)) return;
  collectGarbage(vm);
  if (vm->hook) {
    int answer = vm->hook(vm, static_cast<int>(HookEvent::AfterCollection), vm->hookData);
    if (answer != 0) raiseRuntimeError(vm, "hook break %d", answer);
  }
}

void runFunction(ScriptVM* vm, const ScriptValue* thisValue, CompiledFunction* code, uint32_t n,
                 const ScriptValue* slots) {
  ExecutionState& exec = vm->exec;
  ScriptValue* entrySp = vm->stackPointer;
  size_t codeBase = exec.runningCode.size();
  size_t frameBase = exec.errorFrames.size();
  // The base slot, the n slots, `this` and the header.
  if (entrySp - ptrdiff_t(n) - 2 - kFrameHeaderSlots - vm->stack + 1 < kMinFreeSlots) stackOverflow(vm);

  ScriptValue* sp = entrySp;
  // The run's base slot. The code is kept reachable by the list of running code, which the collector
  // marks, so the slot needs no function record of its own (a native calling a script comparison
  // function a million times allocates nothing for it).
  *sp-- = ScriptValue::undefined();
  for (uint32_t i = n; i-- > 0;) *sp-- = slots[i];
  *sp-- = thisValue ? *thisValue : ScriptValue::null();
  ScriptValue* fp = sp;
  writeFrameHeader(fp, nullptr, nullptr);
  Registers r{code->code, operandLimit(fp), fp, entrySp};
  vm->stackPointer = r.sp;

  auto leave = [&] {
    if (exec.errorLocation.empty()) exec.errorLocation = describeLocation(vm, exec.savedIp);
    exec.runningCode.resize(codeBase);
    exec.errorFrames.resize(frameBase);
    exec.exception = ScriptValue::undefined();
    vm->stackPointer = entrySp;
  };
  if (kFusion && code->code && !(code->code[0] & kScannedMark)) scanForFusion(code);
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
  collectAfterRun(vm);
}

}  // namespace vorlo
