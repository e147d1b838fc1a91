#include "engine/optimizer.h"

#include <unordered_map>

namespace vorlo {

namespace {

constexpr int kDeleted = -1;

void compact(InstructionList& code) {
  size_t kept = 0;
  for (const Instruction& ins : code)
    if (ins.op != kDeleted) code[kept++] = ins;
  code.resize(kept);
}

// The next instruction after `i` that is not deleted, or code.size().
size_t nextLive(const InstructionList& code, size_t i) {
  for (i++; i < code.size() && code[i].op == kDeleted; i++) {
  }
  return i;
}

// Instructions that end the search for the POP of a duplicate.
bool endsDuplicateScan(int op) {
  return op >= kPseudoFunction || hasJumpTarget(op) || op == OpCall || op == OpCallMethod ||
         op == OpCallName || op == OpNew || op == OpReturn || op == OpThrow || op == OpPopTry ||
         op == OpDup || op == OpEnd || op == OpHalt;
}

// The DUP at `dup` and the POP that removes the value it copied, when nothing in between reads it.
// The copy below the top is followed: it is the one a later POP removes.
void removeDuplicate(InstructionList& code, size_t dup) {
  int depth = 1;
  for (size_t j = nextLive(code, dup); j < code.size(); j = nextLive(code, j)) {
    const Instruction& ins = code[j];
    if (ins.op == OpPop && depth == 0) {
      code[dup].op = kDeleted;
      code[j].op = kDeleted;
      return;
    }
    if (endsDuplicateScan(ins.op)) return;
    int pops, pushes;
    stackUse(ins.op, ins.operand, &pops, &pushes);
    if (depth < pops) return;  // the value is used
    depth += pushes - pops;
  }
}

std::unordered_map<int64_t, size_t> labelPositions(const InstructionList& code) {
  std::unordered_map<int64_t, size_t> positions;
  for (size_t i = 0; i < code.size(); i++)
    if (code[i].op == kPseudoLabel) positions[code[i].operand] = i;
  return positions;
}

// The first instruction at or after `i` that is not a label.
size_t skipLabels(const InstructionList& code, size_t i) {
  while (i < code.size() && code[i].op == kPseudoLabel) i++;
  return i;
}

}  // namespace

void peepholePass(InstructionList& code) {
  for (size_t i = 0; i < code.size(); i++) {
    Instruction& ins = code[i];
    if (ins.op == kDeleted) continue;
    if (ins.op == OpDup) {
      removeDuplicate(code, i);
      continue;
    }
    size_t n = nextLive(code, i);
    if (n == code.size()) continue;
    Instruction& next = code[n];
    if (ins.op == OpDropUnder && next.op == OpPop && ins.operand + 1 <= kByteMax) {
      ins.op = OpPopN;
      ins.operand += 1;
      next.op = kDeleted;
    } else if ((ins.op == OpPushTrue && (next.op == OpJFalse || next.op == OpJFalseB)) ||
               (ins.op == OpPushFalse && (next.op == OpJTrue || next.op == OpJTrueB))) {
      ins.op = kDeleted;  // the jump is never taken
      next.op = kDeleted;
    } else if ((ins.op == OpPushFalse && (next.op == OpJFalse || next.op == OpJFalseB)) ||
               (ins.op == OpPushTrue && (next.op == OpJTrue || next.op == OpJTrueB))) {
      ins.op = kDeleted;  // the jump is always taken
      next.op = OpJump;
    }
  }
  compact(code);
}

void jumpThreadingPass(InstructionList& code) {
  auto labels = labelPositions(code);
  for (Instruction& ins : code) {
    if (ins.isPseudo() || !hasJumpTarget(ins.op)) continue;
    auto found = labels.find(ins.operand);
    if (found == labels.end()) continue;
    size_t target = skipLabels(code, found->second);
    if (target < code.size() && code[target].op == OpJump) ins.operand = code[target].operand;
  }
}

// Liveness of locals, one bit per local index modulo 32, over each function. A store directly
// followed by a load of the same local is removed (the value stays on the stack) when the local is
// not read again afterwards.
void deadLocalStorePass(InstructionList& code) {
  auto labels = labelPositions(code);
  size_t start = 0;
  while (start < code.size()) {
    size_t end = start + 1;
    while (end < code.size() && code[end].op != kPseudoFunction) end++;
    size_t n = end - start;
    std::vector<uint32_t> liveIn(n, 0), liveOut(n, 0);
    auto bit = [](int64_t index) { return uint32_t(1) << (uint64_t(index) % 32); };
    auto target = [&](const Instruction& ins) -> size_t {
      auto found = labels.find(ins.operand);
      return found == labels.end() || found->second < start || found->second >= end
                 ? SIZE_MAX
                 : found->second - start;
    };
    bool changed = true;
    while (changed) {
      changed = false;
      // A handler may run after any instruction of the function: what its code reads is live
      // everywhere (otherwise a store inside a try body could be lost to its catch clause).
      uint32_t handlers = 0;
      for (size_t k = 0; k < n; k++) {
        const Instruction& ins = code[start + k];
        if (ins.op == OpTry) {
          size_t t = target(ins);
          if (t != SIZE_MAX) handlers |= liveIn[t];
        }
      }
      for (size_t k = n; k-- > 0;) {
        const Instruction& ins = code[start + k];
        uint32_t out = handlers;
        bool fallsThrough = ins.op != OpJump && ins.op != OpReturn && ins.op != OpThrow &&
                            ins.op != OpEnd;
        if (fallsThrough && k + 1 < n) out |= liveIn[k + 1];
        if (!ins.isPseudo() && hasJumpTarget(ins.op)) {
          size_t t = target(ins);
          if (t != SIZE_MAX) out |= liveIn[t];
        }
        uint32_t in = out;
        if (ins.op == OpStoreLocal) in &= ~bit(ins.operand);
        if (ins.op == OpLoadLocal || ins.op == OpReleaseLocal) in |= bit(ins.operand);
        if (in != liveIn[k] || out != liveOut[k]) {
          liveIn[k] = in;
          liveOut[k] = out;
          changed = true;
        }
      }
    }
    for (size_t k = 0; k + 1 < n; k++) {
      Instruction& store = code[start + k];
      Instruction& load = code[start + k + 1];
      if (store.op == OpStoreLocal && load.op == OpLoadLocal && store.operand == load.operand &&
          !(liveOut[k + 1] & bit(load.operand))) {
        store.op = kDeleted;
        load.op = kDeleted;
        k++;
      }
    }
    start = end;
  }
  compact(code);
}

void unreachableCodePass(InstructionList& code) {
  for (bool changed = true; changed;) {
    changed = false;
    std::unordered_map<int64_t, bool> named;
    for (const Instruction& ins : code)
      if (!ins.isPseudo() && hasJumpTarget(ins.op)) named[ins.operand] = true;
    for (Instruction& ins : code) {
      if (ins.op == kPseudoLabel && !named.count(ins.operand)) {
        ins.op = kDeleted;
        changed = true;
      }
    }
    compact(code);
    for (size_t i = 0; i < code.size(); i++) {
      int op = code[i].op;
      if (op != OpJump && op != OpReturn) continue;
      for (size_t j = i + 1; j < code.size() && !code[j].isPseudo(); j++) {
        code[j].op = kDeleted;
        changed = true;
      }
      if (op == OpJump) {
        for (size_t j = i + 1; j < code.size() && code[j].op != kPseudoFunction; j++) {
          if (code[j].op == kDeleted) continue;
          if (code[j].op != kPseudoLabel) break;
          if (code[j].operand == code[i].operand) {
            code[i].op = kDeleted;
            changed = true;
            break;
          }
        }
      }
    }
    compact(code);
  }
}

}  // namespace vorlo
