#include "engine/location.h"

#include "engine/function.h"
#include "engine/linker.h"
#include "engine/opcodes.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

bool contains(const CompiledFunction* f, const uint32_t* ip) {
  return f && ip >= f->code && ip < f->code + f->codeWords;
}

}  // namespace

CodeLocation locateInstruction(const ScriptVM* vm, const uint32_t* ip) {
  CodeLocation where;
  where.functionName = ".main";
  if (!ip) return where;
  const CompiledFunction* found = nullptr;
  const auto& running = vm->exec.runningCode;
  for (size_t i = running.size(); i-- > 0 && !found;)
    if (contains(running[i], ip)) found = running[i];
  for (uint32_t a = 0; a < vm->globals.count && !found; a++) {
    const ScriptValue& g = vm->globals.values[a];
    if (g.is(KindFunction) && contains(g.asFunction()->code, ip)) found = g.asFunction()->code;
  }
  if (!found) return where;
  where.function = found;
  where.functionName = found->name;
  if (found->lineCount == 0) return where;
  // A line record sits at the end of the instruction whose line it gives: the instruction's line
  // is that of the last record at or before its end.
  uint32_t word = uint32_t(ip - found->code);
  int op = int(found->code[word] & 0xFF);
  uint32_t end = word + (isOpcode(op) && opcodeInfo(op).operand != OperandNone ? 2 : 1);
  // The code counts lines from 0; people count them from 1.
  uint32_t line = found->lines[0].line;
  for (uint32_t i = 0; i < found->lineCount && found->lines[i].word <= end; i++) line = found->lines[i].line;
  where.sourceName = found->sourceName;
  where.line = line + 1;
  return where;
}

std::string describeLocation(const ScriptVM* vm, const uint32_t* ip) {
  if (!ip) return {};
  CodeLocation where = locateInstruction(vm, ip);
  std::string text = "in function " + where.functionName;
  if (where.line) text += " (" + where.sourceName + ":" + std::to_string(where.line) + ")";
  return text;
}

}  // namespace vorlo
