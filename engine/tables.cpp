#include "engine/tables.h"

#include <cstdlib>

#include "engine/checked.h"
#include "engine/error.h"
#include "engine/vm.h"

namespace vorlo {

uint32_t appendValue(ScriptVM* vm, ValueTable& table, const ScriptValue& value) {
  if (table.count == table.capacity) {
    size_t bytes;
    if (table.capacity > UINT32_MAX - kTableGrowth ||
        !checkedMul(uint64_t(table.capacity) + kTableGrowth, sizeof(ScriptValue), &bytes))
      raiseOutOfMemory(vm);
    auto* grown = static_cast<ScriptValue*>(std::realloc(table.values, bytes));
    if (!grown) raiseOutOfMemory(vm);
    table.values = grown;
    table.capacity += kTableGrowth;
  }
  table.values[table.count] = value;
  return table.count++;
}

void releaseTable(ValueTable& table) {
  std::free(table.values);
  table = ValueTable{};
}

ScriptValue getGlobal(const ScriptVM* vm, Atom atom) {
  return atom < vm->globals.count ? vm->globals.values[atom] : ScriptValue::undefined();
}

void setGlobal(ScriptVM* vm, Atom atom, const ScriptValue& value) {
  if (atom >= vm->globals.count) return;  // only interned names have globals
  vm->globals.values[atom] = value.isUndefined() ? ScriptValue::undefined() : value;
}

}  // namespace vorlo
