// Special folder names of Shell.getSpecialFolder and where each comes from.
#pragma once
#include <string_view>

namespace vorlo {

enum class FolderSource { Csidl, Windows, System, Temp, ProgramFiles };
struct SpecialFolder {
  std::u16string_view name;
  FolderSource source;
  int csidl;  // for FolderSource::Csidl
};
// The entry of a name compared ignoring ASCII case; null for unknown names (and "recycle bin").
const SpecialFolder* findSpecialFolder(std::u16string_view name);

}  // namespace vorlo
