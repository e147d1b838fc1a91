#include "host/shell/special_folders.h"

namespace vorlo {
namespace {

constexpr SpecialFolder kFolders[] = {
    {u"appdata", FolderSource::Csidl, 0x1A},       {u"cookies", FolderSource::Csidl, 0x21},
    {u"desktop", FolderSource::Csidl, 0x10},       {u"desktop all", FolderSource::Csidl, 0x19},
    {u"favorites", FolderSource::Csidl, 6},        {u"fonts", FolderSource::Csidl, 0x14},
    {u"history", FolderSource::Csidl, 0x22},       {u"internet cache", FolderSource::Csidl, 0x20},
    {u"my documents", FolderSource::Csidl, 5},     {u"nethood", FolderSource::Csidl, 0x13},
    {u"printers", FolderSource::Csidl, 0x1B},      {u"programs", FolderSource::Csidl, 2},
    {u"programs all", FolderSource::Csidl, 0x17},  {u"recent", FolderSource::Csidl, 8},
    {u"sendto", FolderSource::Csidl, 9},           {u"startmenu", FolderSource::Csidl, 0x0B},
    {u"startmenu all", FolderSource::Csidl, 0x16}, {u"startup", FolderSource::Csidl, 7},
    {u"startup all", FolderSource::Csidl, 0x18},   {u"templates", FolderSource::Csidl, 0x15},
    {u"windows", FolderSource::Windows, 0},        {u"system", FolderSource::System, 0},
    {u"temp", FolderSource::Temp, 0},              {u"program files", FolderSource::ProgramFiles, 0},
};

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

}  // namespace

const SpecialFolder* findSpecialFolder(std::u16string_view name) {
  for (const SpecialFolder& f : kFolders) {
    if (f.name.size() != name.size()) continue;
    size_t i = 0;
    while (i < name.size() && lower(name[i]) == f.name[i]) ++i;
    if (i == name.size()) return &f;
  }
  return nullptr;
}

}  // namespace vorlo
