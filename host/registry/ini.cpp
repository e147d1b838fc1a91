// Ini: one private profile file (a name without a folder is in the Windows folder).
#include <windows.h>

#include <memory>

#include "engine/convert.h"
#include "host/host_support.h"
#include "host/registry/registry.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"

namespace vorlo {
namespace {

struct IniData {
  std::wstring file;
};

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  std::optional<std::u16string> file = stringArg(c, 0);
  *result = file ? makeInstance(vm, cls, std::make_unique<IniData>(IniData{wideOf(*file)})) : ScriptValue::null();
}

void toText(MemberCall& c) { setClassText(c, u"[object INI]"); }

const wchar_t* fileOf(const MemberCall& c) {
  IniData* d = dataOf<IniData>(c);
  return d ? d->file.c_str() : nullptr;
}

// Reads with a buffer that starts at 1024 units and grows by 1024 while the text fills it (`slack`:
// how many units short of the buffer a truncated result is).
template <typename Read>
std::wstring grownRead(Read read, DWORD slack) {
  std::wstring buffer;
  for (DWORD size = 1024;; size += 1024) {
    buffer.assign(size, L'\0');
    DWORD got = read(buffer.data(), size);
    if (got + slack < size || size >= (1u << 26)) {
      buffer.resize(got);
      return buffer;
    }
  }
}

// A block of NUL-separated lines as an array of strings.
ScriptValue linesOf(ScriptVM* vm, const std::wstring& block) {
  ScriptValue list = newArrayValue(vm, 0);
  for (size_t at = 0; at < block.size();) {
    size_t end = block.find(L'\0', at);
    if (end == std::wstring::npos) end = block.size();
    if (end == at) break;
    ScriptValue text;
    setWide(vm, &text, std::wstring_view(block).substr(at, end - at));
    arrayAppend(vm, list.asArray(), text);
    at = end + 1;
  }
  return list;
}

void getInt(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0), key = stringArg(c, 1);
  if (!file || !section || !key) return;
  *c.result = ScriptValue::integer(static_cast<int32_t>(GetPrivateProfileIntW(wideOf(*section).c_str(), wideOf(*key).c_str(), 0, file)));
}

void getString(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0), key = stringArg(c, 1);
  if (!file || !section || !key) return;
  std::wstring s = wideOf(*section), k = wideOf(*key);
  std::wstring text = grownRead(
      [&](wchar_t* buffer, DWORD size) { return GetPrivateProfileStringW(s.c_str(), k.c_str(), L"key not found", buffer, size, file); }, 1);
  setWide(c.vm, c.result, text);
}

void getSection(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0);
  if (!file || !section) return;
  std::wstring s = wideOf(*section);
  std::wstring block = grownRead([&](wchar_t* buffer, DWORD size) { return GetPrivateProfileSectionW(s.c_str(), buffer, size, file); }, 2);
  *c.result = linesOf(c.vm, block);
}

void getSectionNames(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  if (!file) return;
  std::wstring block = grownRead([&](wchar_t* buffer, DWORD size) { return GetPrivateProfileSectionNamesW(buffer, size, file); }, 2);
  *c.result = linesOf(c.vm, block);
}

// Replaces the section with the lines; numbers are written as their text (their raw bytes would
// hold zeros that end the block and lose the lines after them).
void writeSection(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0);
  ScriptValue lines = c.arg(1);
  if (!file || !section || lines.kind != KindArray) return;
  std::wstring block;
  for (const auto& [index, line] : storeElements(lines.asArray())) {
    if (!(line.isString() || line.kind == KindInteger || line.kind == KindFloat)) continue;
    ScriptValue text = toStringValue(c.vm, line);
    std::wstring w = wideOf(stringView(text.asString()));
    if (w.empty() || w.find(L'\0') != std::wstring::npos) continue;
    block += w;
    block += L'\0';
  }
  block += L'\0';
  WritePrivateProfileSectionW(wideOf(*section).c_str(), block.c_str(), file);
}

void writeString(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0), key = stringArg(c, 1), value = stringArg(c, 2);
  if (file && section && key && value)
    WritePrivateProfileStringW(wideOf(*section).c_str(), wideOf(*key).c_str(), wideOf(*value).c_str(), file);
}

void deleteSection(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0);
  if (file && section && c.count() == 1) WritePrivateProfileSectionW(wideOf(*section).c_str(), nullptr, file);
}

void deleteKey(MemberCall& c) {
  const wchar_t* file = fileOf(c);
  std::optional<std::u16string> section = stringArg(c, 0), key = stringArg(c, 1);
  if (file && section && key) WritePrivateProfileStringW(wideOf(*section).c_str(), wideOf(*key).c_str(), nullptr, file);
}

constexpr Member kMembers[] = {
    {"toString", toText},
    instanceMethod("getInt", getInt),
    instanceMethod("getString", getString),
    instanceMethod("getSection", getSection),
    instanceMethod("getSectionNames", getSectionNames),
    instanceMethod("writeSection", writeSection),
    instanceMethod("writeString", writeString),
    instanceMethod("deleteSection", deleteSection),
    instanceMethod("deleteKey", deleteKey),
};

constexpr ClassDef kIni{.name = "Ini", .members = kMembers, .construct = construct, .finalize = finalizeData<IniData>,
                        .data = typeKey<IniData>()};

}  // namespace

void registerIni(ScriptVM* vm) { registerClass(vm, kIni); }

}  // namespace vorlo
