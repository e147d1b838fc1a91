// FileStream (also bound as Stream): a byte stream over an open file, one position for reading and
// writing, 64-bit positions and lengths.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace vorlo {

struct ScriptVM;

// A script's mode text made binary ("t" and "b" become one "b", added when absent) and checked: r, w
// or a, then optionally "+", in any order with the "b". nullopt for anything else.
std::optional<std::wstring> fileStreamMode(std::u16string_view mode);

void registerFileStream(ScriptVM* vm);

}  // namespace vorlo
