// The machine-level call of a native function: argument values in, the call made by the convention
// of the build's processor, the return registers out. Marshalling (script values to bytes) happens
// before; this layer knows only bytes and their kinds.
//
// 32-bit x86: cdecl, stdcall ("pascal" is stdcall) and fastcall. A small thunk copies the argument
// words, loads ECX and EDX for fastcall, calls, and restores ESP from its own frame, so a declared
// convention that does not match the callee cannot corrupt the stack. Structures of 1, 2, 4 or 8
// bytes come back in EDX:EAX; other sizes through a hidden pointer. Whatever the declared return
// type, a value the callee left on the x87 stack is taken off it.
//
// x86-64: the one Windows convention, whatever was declared: the first four arguments in RCX, RDX,
// R8 and R9 and XMM0-3 (both are loaded, as variadic callees expect), the rest on the stack above the
// 32-byte shadow space, the stack 16-byte aligned; structures of 1, 2, 4 or 8 bytes travel in a
// register, larger ones as the address of a copy; returns likewise, larger ones through a hidden
// pointer in RCX.
#pragma once
#include <cstdint>
#include <vector>

namespace vorlo {

enum class CallConvention : uint8_t { Stdcall, Cdecl, Fastcall };

enum class NativeKind : uint8_t {
  Integer,    // 1 to 8 bytes, little-endian
  Float,      // 4 bytes
  Double,     // 8 bytes
  Aggregate,  // a structure or raw buffer passed by value
};

struct NativeArgument {
  NativeKind kind = NativeKind::Integer;
  std::vector<uint8_t> bytes;
};

struct NativeCall {
  void* entry = nullptr;
  CallConvention convention = CallConvention::Stdcall;
  std::vector<NativeArgument> arguments;
  NativeKind returnKind = NativeKind::Integer;
  uint32_t returnSize = 4;  // bytes of an aggregate return
};

struct NativeReturn {
  uint64_t integer = 0;           // EDX:EAX or RAX
  double floating = 0;            // ST(0) or XMM0 (a float return widened)
  std::vector<uint8_t> aggregate; // a structure return, returnSize bytes
};

// Calls call.entry. Nothing is checked about the entry or the arguments: they are the caller's word.
NativeReturn callNative(const NativeCall& call);

// True when the returned structure comes back in registers rather than through a hidden pointer.
bool structureReturnInRegisters(uint32_t size);

}  // namespace vorlo
