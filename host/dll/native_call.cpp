#include "host/dll/native_call.h"

#include <cstring>

namespace vorlo {

extern "C" {
// The thunks (native_call_x86.cpp, native_call_x64.cpp). Both return the integer return registers
// and store the floating-point return into *floating.
#if defined(__x86_64__)
uint64_t vorlo_call_x64(void* entry, const uint64_t* slots, uint64_t count, double* floating, uint32_t floatReturn);
#elif defined(__i386__)
uint64_t vorlo_call_x86(void* entry, const uint32_t* words, uint32_t count, uint32_t ecx, uint32_t edx,
                        double* floating);
#endif
}

bool structureReturnInRegisters(uint32_t size) { return size == 1 || size == 2 || size == 4 || size == 8; }

namespace {

uint64_t bitsOf(const std::vector<uint8_t>& bytes) {
  uint64_t bits = 0;
  std::memcpy(&bits, bytes.data(), bytes.size() < 8 ? bytes.size() : 8);
  return bits;
}

#if defined(__x86_64__)

NativeReturn callX64(const NativeCall& call) {
  NativeReturn out;
  std::vector<uint64_t> slots;
  std::vector<std::vector<uint64_t>> copies;  // larger structures go by the address of a copy
  std::vector<uint64_t> returnBuffer;
  bool hiddenReturn = call.returnKind == NativeKind::Aggregate && !structureReturnInRegisters(call.returnSize);
  if (hiddenReturn) {
    returnBuffer.assign((call.returnSize + 7) / 8 + 1, 0);
    slots.push_back(reinterpret_cast<uintptr_t>(returnBuffer.data()));
  }
  for (const NativeArgument& a : call.arguments) {
    if (a.kind == NativeKind::Aggregate && !structureReturnInRegisters(uint32_t(a.bytes.size()))) {
      copies.emplace_back((a.bytes.size() + 7) / 8 + 1, 0);
      std::memcpy(copies.back().data(), a.bytes.data(), a.bytes.size());
      slots.push_back(reinterpret_cast<uintptr_t>(copies.back().data()));
    } else {
      slots.push_back(bitsOf(a.bytes));
    }
  }
  double floating = 0;
  uint32_t floatReturn = call.returnKind == NativeKind::Float ? 1 : 0;
  out.integer = vorlo_call_x64(call.entry, slots.data(), slots.size(), &floating, floatReturn);
  out.floating = floating;
  if (call.returnKind == NativeKind::Aggregate) {
    out.aggregate.resize(call.returnSize);
    const void* from = hiddenReturn ? static_cast<const void*>(returnBuffer.data()) : &out.integer;
    std::memcpy(out.aggregate.data(), from, call.returnSize);
  }
  return out;
}

#elif defined(__i386__)

void appendWords(std::vector<uint32_t>& words, const std::vector<uint8_t>& bytes) {
  size_t first = words.size();
  words.resize(first + (bytes.size() + 3) / 4, 0);
  if (!bytes.empty()) std::memcpy(words.data() + first, bytes.data(), bytes.size());
}

NativeReturn callX86(const NativeCall& call) {
  NativeReturn out;
  std::vector<uint32_t> words;
  std::vector<uint32_t> returnBuffer;
  bool hiddenReturn = call.returnKind == NativeKind::Aggregate && !structureReturnInRegisters(call.returnSize);
  if (hiddenReturn) {
    returnBuffer.assign((call.returnSize + 3) / 4 + 1, 0);
    words.push_back(reinterpret_cast<uintptr_t>(returnBuffer.data()));
  }
  // fastcall: the first two integer arguments of at most four bytes go in ECX and EDX.
  uint32_t registers[2] = {0, 0};
  int inRegisters = 0;
  for (const NativeArgument& a : call.arguments) {
    if (call.convention == CallConvention::Fastcall && inRegisters < 2 && a.kind == NativeKind::Integer &&
        a.bytes.size() <= 4) {
      registers[inRegisters++] = uint32_t(bitsOf(a.bytes));
      continue;
    }
    appendWords(words, a.bytes);
  }
  double floating = 0;
  out.integer = vorlo_call_x86(call.entry, words.data(), uint32_t(words.size()), registers[0], registers[1], &floating);
  out.floating = floating;
  if (call.returnKind == NativeKind::Aggregate) {
    out.aggregate.resize(call.returnSize);
    const void* from = hiddenReturn ? static_cast<const void*>(returnBuffer.data()) : &out.integer;
    std::memcpy(out.aggregate.data(), from, call.returnSize);
  }
  return out;
}

#endif

}  // namespace

NativeReturn callNative(const NativeCall& call) {
#if defined(__x86_64__)
  return callX64(call);
#elif defined(__i386__)
  return callX86(call);
#else
#error "native calls are made on x86 and x86-64 only"
#endif
}

}  // namespace vorlo
