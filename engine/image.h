// BytecodeImage: the compiled form of one script. Layout (offsets from the magic): an optional first
// line beginning with "#" before the magic; "VS1b"; section descriptors of three little-endian words
// (type in the low byte, offset, length) ended by 0xFFFFFFFF; the section data. Numbers inside the
// sections are big-endian except doubles, which are stored little-endian.
//
// Reading validates the whole image: every descriptor, every constant, the function table, every
// instruction and operand (symbol and constant indices, jump targets on instruction starts, local
// and slot numbers) and the debug records. An image that fails any check is rejected, so a loaded
// image never holds an operand the machine would have to distrust.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace vorlo {

inline constexpr char kImageMagic[4] = {'V', 'S', '1', 'b'};
inline constexpr uint32_t kDescriptorEnd = 0xFFFFFFFFu;

enum SectionType : uint8_t { SectionCode = 0, SectionConstants = 1, SectionFunctions = 2, SectionDebug = 3 };

enum ConstantKind : uint8_t {
  ConstNull = 1,
  ConstBoolean = 2,
  ConstInteger = 3,
  ConstString = 4,
  ConstFloat = 5,
  ConstSymbol = 10,
  ConstRegExp = 11,
  ConstNaN = 13,
};

enum DebugRecord : uint8_t { DebugSourceName = 1, DebugLine = 2 };

struct ImageSection {
  uint8_t type;
  std::vector<uint8_t> data;
};

struct ImageConstant {
  uint8_t kind = 0;
  bool boolean = false;
  int64_t integer = 0;
  double number = 0;
  std::string name;        // symbols: 8-bit text
  std::u16string text;     // strings and regular expressions
  uint8_t regExpFlags = 0; // 1 g, 2 i, 4 m
};

struct ImageFunction {
  std::string name;
  uint32_t start = 0;  // byte range in the code section
  uint32_t end = 0;
  int locals = 0;      // LOCALS count (0 when it has none)
  int slots = 2;       // frame slots it may address: this, the count and its ARGFIX padding
};

struct LineRecord {
  uint32_t offset;
  uint32_t line;
};

struct BytecodeImage {
  std::vector<ImageSection> sections;
  uint32_t constantBase = 0;  // index in the VM's constant table once loaded

  // Decoded while reading (from the first section of each type).
  std::vector<uint8_t> code;
  std::vector<ImageConstant> constants;
  std::vector<ImageFunction> functions;
  bool hasSourceName = false;
  std::string sourceName;
  std::vector<LineRecord> lines;
};

// Null when the bytes are not a well-formed image; `why` then says what is wrong.
std::unique_ptr<BytecodeImage> readImage(const uint8_t* data, size_t size, std::string* why = nullptr);
// Reads an image from the current position of an open binary file (up to its end).
std::unique_ptr<BytecodeImage> readImageFile(std::FILE* file, std::string* why = nullptr);

// Walks the instructions of [start, end) of the code; calls visit(offset, opcode, operand, size)
// for each. The image must have been validated.
template <typename Visit>
void forEachInstruction(const BytecodeImage& image, uint32_t start, uint32_t end, Visit&& visit);

// Decodes the operand of the instruction at `offset` (its size from the opcode table).
int64_t readOperand(const uint8_t* code, uint32_t offset, int op);

}  // namespace vorlo

#include "engine/opcodes.h"

namespace vorlo {
template <typename Visit>
void forEachInstruction(const BytecodeImage& image, uint32_t start, uint32_t end, Visit&& visit) {
  for (uint32_t at = start; at < end;) {
    int op = image.code[at];
    int size = encodedSize(op);
    visit(at, op, readOperand(image.code.data(), at, op), size);
    at += uint32_t(size);
  }
}
}  // namespace vorlo
