// The script classes Struct and StructArray: blocks of memory laid out by a structure descriptor, with
// the members as properties; and what the DLL bridge does with structures (their size by type name).
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "engine/value.h"
#include "stdlib/struct_layout.h"

namespace vorlo {

struct ScriptVM;

void registerStruct(ScriptVM* vm);

// The layout target of this build (its own pointer size).
StructTarget nativeStructTarget();

// The size of the structure type whose descriptor the global `name` holds, laid out with the current
// packing; 0 when the global holds no descriptor or it does not lay out.
uint32_t structTypeSize(ScriptVM* vm, std::u16string_view name);

// A copy of a structure for native code: its bytes with the pointer members pointing at buffers of
// the copy's own (texts as ANSI, numbers in their width, plain pointers holding an integer as that
// address). The buffers live as long as the copy.
struct NativeStructCopy {
  std::vector<uint8_t> bytes;
  std::vector<std::vector<uint8_t>> buffers;
};
// False when the value is not a Struct.
bool copyStructForNative(ScriptVM* vm, const ScriptValue& value, NativeStructCopy* copy);
// A new Struct with the template's layout holding `bytes` (undefined when the sizes differ); pointer
// members hold the addresses found in the bytes, as integers, except texts that point into a buffer
// of `copy`, which are read back from it (at most its size).
ScriptValue structFromNative(ScriptVM* vm, const ScriptValue& templateValue, const std::vector<uint8_t>& bytes,
                             const NativeStructCopy* copy);
// A new Struct laid out from the descriptor in the global `name`, holding `bytes` (undefined when the
// sizes differ); pointer members hold their addresses as integers.
ScriptValue structFromNativeByName(ScriptVM* vm, std::u16string_view name, const std::vector<uint8_t>& bytes);

}  // namespace vorlo
