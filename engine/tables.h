// The VM-wide value tables: globals (indexed by Atom) and constants (appended by each loaded image).
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

inline constexpr uint32_t kTableGrowth = 1024;

struct ValueTable {
  ScriptValue* values = nullptr;
  uint32_t count = 0;
  uint32_t capacity = 0;
};
using GlobalTable = ValueTable;
using ConstantTable = ValueTable;

// Appends one value, growing the table by kTableGrowth entries when it is full. Returns its index.
uint32_t appendValue(ScriptVM* vm, ValueTable& table, const ScriptValue& value);
void releaseTable(ValueTable& table);

ScriptValue getGlobal(const ScriptVM* vm, Atom atom);
// Stores into the global of an interned Atom; undefined is stored with a clear payload.
void setGlobal(ScriptVM* vm, Atom atom, const ScriptValue& value);

}  // namespace vorlo
