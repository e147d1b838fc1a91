#include "engine/opcodes.h"

#include <cstring>

namespace vorlo {

namespace {

// Indexed by opcode - 0x21.
constexpr OpcodeInfo kOpcodes[] = {
    {"CALLNAME", OperandSym, 1, 2},     {"LOADNAME", OperandSym, 0, 1},
    {"ADD2", OperandNone, 1, 1},        {"INC", OperandNone, 1, 1},
    {"JTRUEB", OperandRel, 1, 0},       {"JFALSEB", OperandRel, 1, 0},
    {"THROW", OperandNone, 1, 0},       {"POPTRY", OperandByte, 0, 0},
    {"TRY", OperandRel, 0, 0},          {"POPWITH", OperandByte, 0, 0},
    {"PUSHWITH", OperandNone, 1, 0},    {"LOADARGX", OperandNone, 1, 1},
    {"ARGFIX", OperandByte, 1, 0},      {"LOCALS", OperandHalf, 0, 0},
    {"DELELEM", OperandNone, 2, 1},     {"DELPROP", OperandSym, 1, 1},
    {"NEW", OperandNone, 1, 2},         {"TYPEOF", OperandNone, 1, 1},
    {"RETURN", OperandNone, 1, 0},      {"CALL", OperandNone, 1, 2},
    {"JUMP", OperandRel, 0, 0},         {"CALLMETHOD", OperandSym, 1, 2},
    {"JTRUE", OperandRel, 1, 0},        {"JFALSE", OperandRel, 1, 0},
    {"USHR", OperandNone, 2, 1},        {"SHR", OperandNone, 2, 1},
    {"SHL", OperandNone, 2, 1},         {"XOR", OperandNone, 2, 1},
    {"OR", OperandNone, 2, 1},          {"NOT", OperandNone, 1, 1},
    {"AND", OperandNone, 2, 1},         {"NEG", OperandNone, 1, 1},
    {"MOD", OperandNone, 2, 1},         {"DIV", OperandNone, 2, 1},
    {"MUL", OperandNone, 2, 1},         {"ADD", OperandNone, 2, 1},
    {"SUB", OperandNone, 2, 1},         {"SNE", OperandNone, 2, 1},
    {"SEQ", OperandNone, 2, 1},         {"GE", OperandNone, 2, 1},
    {"LE", OperandNone, 2, 1},          {"GT", OperandNone, 2, 1},
    {"LT", OperandNone, 2, 1},          {"NE", OperandNone, 2, 1},
    {"EQ", OperandNone, 2, 1},          {"NEXTITEM", OperandNone, 2, 2},
    {"SETELEM", OperandNone, 3, 0},     {"GETELEM", OperandNone, 2, 1},
    {"SETPROP", OperandSym, 2, 0},      {"GETPROP", OperandSym, 1, 1},
    {"STORELOCAL", OperandHalf, 1, 0},  {"LOADLOCAL", OperandHalf, 0, 1},
    {"STORESLOT", OperandByte, 1, 0},   {"LOADSLOT", OperandByte, 0, 1},
    {"STOREGLOBAL", OperandSym, 1, 0},  {"LOADGLOBAL", OperandSym, 0, 1},
    {"PUSHINT", OperandI32, 0, 1},      {"PUSH3", OperandNone, 0, 1},
    {"PUSH2", OperandNone, 0, 1},       {"PUSH1", OperandNone, 0, 1},
    {"PUSH0", OperandNone, 0, 1},       {"PUSHUNDEF", OperandNone, 0, 1},
    {"PUSHFALSE", OperandNone, 0, 1},   {"PUSHTRUE", OperandNone, 0, 1},
    {"PUSHNULL", OperandNone, 0, 1},    {"PUSHCONST", OperandConst, 0, 1},
    {"ROLL", OperandByte, 0, 0},        {"SWAP", OperandNone, 2, 2},
    {"DROPUNDER", OperandByte, 0, 0},   {"POPN", OperandByte, 0, 0},
    {"POP", OperandNone, 1, 0},         {"DUP", OperandNone, 1, 2},
    {"NOP", OperandNone, 0, 0},         {"END", OperandNone, 0, 0},
    {"HALT", OperandNone, 0, 0},        {"STORENAME", OperandSym, 1, 0},
    {"DELNAME", OperandSym, 1, 1},      {"RELEASEGLOBAL", OperandSym, 1, 1},
    {"RELEASELOCAL", OperandHalf, 1, 1}, {"RELEASESLOT", OperandByte, 1, 1},
};
static_assert(sizeof kOpcodes / sizeof kOpcodes[0] == kLastOpcode - kFirstOpcode + 1);

}  // namespace

const OpcodeInfo& opcodeInfo(int op) { return kOpcodes[op - kFirstOpcode]; }

int encodedSize(OperandKind kind) {
  switch (kind) {
    case OperandNone: return 1;
    case OperandByte: return 2;
    case OperandHalf: return 3;
    default: return 5;
  }
}

void stackUse(int op, int64_t operand, int* pops, int* pushes) {
  int64_t magnitude = operand < 0 ? -operand : operand;
  switch (op) {
    case OpLocals: *pops = 0; *pushes = int(operand); return;
    case OpRoll:
      *pops = *pushes = magnitude >= 2 ? int(magnitude) : 0;
      return;
    case OpDropUnder: *pops = int(operand) + 1; *pushes = 1; return;
    case OpPopN: *pops = int(operand); *pushes = 0; return;
    default:
      *pops = opcodeInfo(op).pops;
      *pushes = opcodeInfo(op).pushes;
  }
}

int opcodeByMnemonic(const char* mnemonic) {
  for (int op = kFirstOpcode; op <= kLastOpcode; op++)
    if (std::strcmp(opcodeInfo(op).mnemonic, mnemonic) == 0) return op;
  return 0;
}

}  // namespace vorlo
