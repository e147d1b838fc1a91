// The script classes Struct and StructArray: blocks of memory laid out by a structure descriptor, with
// the members as properties; and what the DLL bridge does with structures (their size by type name).
#pragma once
#include <cstdint>
#include <memory>
#include <string_view>

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

}  // namespace vorlo
