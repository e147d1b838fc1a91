// The code generator: walks the parser's function list and top-level statements and appends the
// instructions of every function, then of the main program, to one list. Names are resolved here:
// local variables, frame slots (parameters), globals, and with-scope lookups inside with bodies.
#pragma once
#include <string>
#include <vector>

#include "engine/compile_messages.h"
#include "engine/instructions.h"
#include "engine/syntax_tree.h"

namespace vorlo {

// Limits that no instruction sequence can work around: frame slots are byte operands (this, the
// count and the parameters), locals are 16-bit operands.
inline constexpr int kMaxParameters = kByteMax - 2;
inline constexpr int kMaxLocals = kHalfMax;

struct GeneratedProgram {
  InstructionList code;
  std::vector<std::string> functionNames;  // operands of the function-start pseudo-instructions
  ConstantPool constants;
};

// Generates `functions` (in list order) and, when there is at least one top-level statement, the
// main function ".main". `errorLine` is the line reported with "invalid break" and "invalid
// continue". Errors are reported through `messages` (raising CompileError).
void generateProgram(const Node* functions, const Node* statements, MessageStream& messages,
                     int errorLine, GeneratedProgram& program);

}  // namespace vorlo
