// The instruction set: 80 opcodes 0x21-0x70, their operands as encoded in an image and their effect
// on the value stack. The compiler, the optimiser, the image reader, the linker and the listing all
// read this one table.
#pragma once
#include <cstdint>

namespace vorlo {

enum Opcode : int {
  OpCallName = 0x21, OpLoadName, OpAdd2, OpInc, OpJTrueB, OpJFalseB, OpThrow, OpPopTry, OpTry,
  OpPopWith, OpPushWith, OpLoadArgX, OpArgFix, OpLocals, OpDelElem, OpDelProp, OpNew, OpTypeof,
  OpReturn, OpCall, OpJump, OpCallMethod, OpJTrue, OpJFalse, OpUshr, OpShr, OpShl, OpXor, OpOr,
  OpNot, OpAnd, OpNeg, OpMod, OpDiv, OpMul, OpAdd, OpSub, OpSne, OpSeq, OpGe, OpLe, OpGt, OpLt,
  OpNe, OpEq, OpNextItem, OpSetElem, OpGetElem, OpSetProp, OpGetProp, OpStoreLocal, OpLoadLocal,
  OpStoreSlot, OpLoadSlot, OpStoreGlobal, OpLoadGlobal, OpPushInt, OpPush3, OpPush2, OpPush1,
  OpPush0, OpPushUndef, OpPushFalse, OpPushTrue, OpPushNull, OpPushConst, OpRoll, OpSwap,
  OpDropUnder, OpPopN, OpPop, OpDup, OpNop, OpEnd, OpHalt, OpStoreName, OpDelName,
  OpReleaseGlobal, OpReleaseLocal, OpReleaseSlot = 0x70,
};
static_assert(OpReleaseSlot == 0x70 && OpEnd == 0x6A && OpPushConst == 0x62);

inline constexpr int kFirstOpcode = 0x21;
inline constexpr int kLastOpcode = 0x70;

enum OperandKind : uint8_t {
  OperandNone,
  OperandSym,    // 32-bit index of a symbol constant
  OperandConst,  // 32-bit index of a constant
  OperandRel,    // signed 32-bit byte distance from the end of the instruction
  OperandI32,    // signed 32-bit integer
  OperandByte,   // signed byte
  OperandHalf,   // signed 16-bit integer
};

struct OpcodeInfo {
  const char* mnemonic;
  OperandKind operand;
  // Values the instruction takes from the top of the stack and values it leaves there. For the
  // instructions whose counts depend on the operand (LOCALS, ROLL, DROPUNDER, POPN) see stackUse.
  int8_t pops;
  int8_t pushes;
};

inline bool isOpcode(int op) { return op >= kFirstOpcode && op <= kLastOpcode; }
const OpcodeInfo& opcodeInfo(int op);
// Encoded size of an instruction with this operand kind: 1, 2, 3 or 5 bytes.
int encodedSize(OperandKind kind);
inline int encodedSize(int op) { return encodedSize(opcodeInfo(op).operand); }
// Values taken and left by one instruction, with the operand applied.
void stackUse(int op, int64_t operand, int* pops, int* pushes);
// The opcode whose mnemonic this is, or 0.
int opcodeByMnemonic(const char* mnemonic);

inline bool isConditionalJump(int op) {
  return op == OpJTrue || op == OpJFalse || op == OpJTrueB || op == OpJFalseB;
}
// Instructions whose operand names a code position.
inline bool hasJumpTarget(int op) { return op == OpJump || op == OpTry || isConditionalJump(op); }

// Ranges of the small operand kinds.
inline constexpr int kByteMin = -128, kByteMax = 127;
inline constexpr int kHalfMin = -32768, kHalfMax = 32767;

}  // namespace vorlo
