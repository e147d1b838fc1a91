// The compiler's instruction list: what the code generator produces, the optimiser rewrites and the
// image writer encodes. Operands of symbol and constant instructions are indices into the
// compilation's constant pool; operands of jumps and TRY are label numbers.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/opcodes.h"

namespace vorlo {

inline constexpr int kPseudoFunction = 1000;  // operand: index into the function-name list
inline constexpr int kPseudoLabel = 1001;     // operand: label number

struct Instruction {
  int op = 0;
  int line = 0;
  int64_t operand = 0;
  uint32_t offset = 0;  // byte offset in the code section, assigned at layout

  bool isPseudo() const { return op >= kPseudoFunction; }
  bool isLabel() const { return op == kPseudoLabel; }
};

using InstructionList = std::vector<Instruction>;

// The constants of one compilation in order of first use, already encoded for the image. Two uses of
// the same constant (same kind and same value) share one entry.
class ConstantPool {
 public:
  uint32_t integer(int64_t value);
  // Keyed by the exact value, so that distinct doubles never share an entry.
  uint32_t number(double value);
  uint32_t string(const char* text, size_t length);  // 8-bit source text
  uint32_t symbol(const char* text, size_t length);
  uint32_t regExp(const char* body, size_t length, int flags);

  const std::string& bytes() const { return bytes_; }
  uint32_t count() const { return count_; }

 private:
  // Returns the entry's index, encoding it with `encode` when it is new.
  template <typename Encode>
  uint32_t intern(uint8_t kind, std::string key, Encode&& encode);

  std::unordered_map<std::string, uint32_t> index_;
  std::string bytes_;
  uint32_t count_ = 0;
};

}  // namespace vorlo
