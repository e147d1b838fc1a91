#include "engine/image_writer.h"

#include <cstring>
#include <unordered_map>

#include "engine/image.h"

namespace vorlo {

namespace {

void putBigEndian(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) out.push_back(uint8_t(value >> (8 * i)));
}

void putLittleEndian32(std::vector<uint8_t>& out, uint32_t value) {
  for (int i = 0; i < 4; i++) out.push_back(uint8_t(value >> (8 * i)));
}

// The runtime's linear congruential generator: 15 bits per draw.
struct Random {
  uint32_t state;
  uint32_t next() {
    state = state * 214013u + 2531011u;
    return (state >> 16) & 0x7FFF;
  }
};

}  // namespace

std::vector<uint8_t> writeImage(GeneratedProgram& program, const char* sourceName, uint32_t headerSeed) {
  InstructionList& code = program.code;
  // Layout: pseudo-instructions take no space.
  std::unordered_map<int64_t, uint32_t> labels;
  uint32_t offset = 0;
  for (Instruction& ins : code) {
    ins.offset = offset;
    if (ins.op == kPseudoLabel) labels[ins.operand] = offset;
    if (!ins.isPseudo()) offset += uint32_t(encodedSize(ins.op));
  }

  std::vector<uint8_t> codeBytes, functions, debug;
  uint32_t functionCount = 0;
  if (sourceName) {
    debug.push_back(DebugSourceName);
    putBigEndian(debug, std::strlen(sourceName), 4);
    debug.insert(debug.end(), sourceName, sourceName + std::strlen(sourceName));
  }
  int previousLine = -1;
  for (const Instruction& ins : code) {
    if (ins.op == kPseudoFunction) {
      const std::string& name = program.functionNames[size_t(ins.operand)];
      functions.insert(functions.end(), name.begin(), name.end());
      functions.push_back(0);
      putBigEndian(functions, ins.offset, 4);
      functionCount++;
      continue;
    }
    if (ins.isPseudo()) continue;
    int size = encodedSize(ins.op);
    codeBytes.push_back(uint8_t(ins.op));
    int64_t operand = ins.operand;
    if (opcodeInfo(ins.op).operand == OperandRel) operand = int64_t(labels[operand]) - (ins.offset + size);
    if (size > 1) putBigEndian(codeBytes, uint64_t(operand), size - 1);
    if (sourceName && ins.line != previousLine) {
      debug.push_back(DebugLine);
      putBigEndian(debug, ins.offset + uint32_t(size), 4);
      putBigEndian(debug, uint32_t(ins.line), 4);
      previousLine = ins.line;
    }
  }
  std::vector<uint8_t> table;
  putBigEndian(table, functionCount, 4);
  table.insert(table.end(), functions.begin(), functions.end());
  const std::string& constants = program.constants.bytes();

  Random random{headerSeed};
  std::vector<uint8_t> image(kImageMagic, kImageMagic + 4);
  const size_t lengths[4] = {codeBytes.size(), constants.size(), table.size(), debug.size()};
  uint32_t at = 4 + 4 * 12 + 4;
  for (uint32_t type = 0; type < 4; type++) {
    uint32_t noise = (random.next() << 9 ^ random.next()) & 0xFFFFFF;
    putLittleEndian32(image, type | noise << 8);
    putLittleEndian32(image, at);
    putLittleEndian32(image, uint32_t(lengths[type]));
    at += uint32_t(lengths[type]);
  }
  putLittleEndian32(image, kDescriptorEnd);
  image.insert(image.end(), codeBytes.begin(), codeBytes.end());
  image.insert(image.end(), constants.begin(), constants.end());
  image.insert(image.end(), table.begin(), table.end());
  image.insert(image.end(), debug.begin(), debug.end());
  return image;
}

}  // namespace vorlo
