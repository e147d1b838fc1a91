// RegValue's native data, shared with RegKey, which reads values into it and writes them out.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/value.h"

namespace vorlo {

struct ScriptVM;
struct NativeClass;

struct RegValueData {
  std::optional<std::u16string> name;  // none: the key's default value
  uint32_t type = 1;                   // REG_SZ
  std::vector<uint8_t> data;           // strings as UTF-16 (the wide registry functions)
};

ScriptValue makeRegValue(ScriptVM* vm, RegValueData value);
// The data of a RegValue value; null for anything else.
RegValueData* regValueOf(ScriptVM* vm, const ScriptValue& value);
void registerRegValue(ScriptVM* vm);

}  // namespace vorlo
