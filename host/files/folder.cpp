#include "host/files/folder.h"

#include <windows.h>

#include <cwctype>
#include <memory>

#include "engine/convert.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "host/files/file_system.h"
#include "host/files/path_rules.h"
#include "host/host_support.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

// An instance: its full path and whether it named a folder when it was made.
struct FolderData {
  std::wstring path;
  bool isFolder = false;
};

std::u16string units(const std::wstring& w) { return unitsOf(w); }
char16_t foldUnit(char16_t c) { return static_cast<char16_t>(std::towlower(c)); }

// Makes the instance: a missing path is created as a folder first.
std::unique_ptr<FolderData> openPath(const std::wstring& given) {
  if (given.empty()) return nullptr;
  if (GetFileAttributesW(given.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateDirectoryW(given.c_str(), nullptr)) return nullptr;
  std::optional<std::wstring> absolute = absolutePath(given);
  if (!absolute) return nullptr;
  auto data = std::make_unique<FolderData>();
  data->path = diskSpelling(*absolute);
  DWORD attributes = GetFileAttributesW(data->path.c_str());
  data->isFolder = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
  return data;
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  if (std::unique_ptr<FolderData> data = openPath(wideOf(*path))) *result = makeInstance(vm, cls, std::move(data));
}
void call(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

ScriptValue pathList(ScriptVM* vm, const std::wstring& folder, bool folders, const std::vector<std::u16string>* patterns) {
  ScriptValue list = newArrayValue(vm, 0);
  for (const DirEntry& e : listEntries(folder + (patterns ? L"\\*" : L"\\*.*"))) {
    if (isDirectory(e) != folders) continue;
    if (patterns) {
      std::u16string name = units(e.name);
      bool any = false;
      for (const std::u16string& p : *patterns) any = any || wildcardMatch(name, p, foldUnit);
      if (!any) continue;
    }
    ScriptValue text;
    setWide(vm, &text, folder + L"\\" + e.name);
    arrayAppend(vm, list.asArray(), text);
  }
  return list;
}

void toText(MemberCall& c) { setClassText(c, u"[object Folder]"); }

void exists(MemberCall& c) {
  std::optional<std::u16string> path = stringArg(c, 0);
  *c.result = ScriptValue::boolean(path && GetFileAttributesW(wideOf(*path).c_str()) != INVALID_FILE_ATTRIBUTES);
}

void copy(MemberCall& c) {
  FolderData* d = dataOf<FolderData>(c);
  std::optional<std::u16string> to = stringArg(c, 0);
  if (!d) return;
  *c.result = ScriptValue::boolean(false);
  if (!to) return;
  std::wstring destination = wideOf(*to);
  bool ok = d->isFolder ? copyTree(d->path, destination) : CopyFileW(d->path.c_str(), destination.c_str(), FALSE) != 0;
  *c.result = ScriptValue::boolean(ok);
}

void remove(MemberCall& c) {
  FolderData* d = dataOf<FolderData>(c);
  if (!d) return;
  BOOL ok = d->isFolder ? RemoveDirectoryW(d->path.c_str()) : DeleteFileW(d->path.c_str());
  *c.result = ScriptValue::boolean(ok != 0);
}

void move(MemberCall& c) {
  FolderData* d = dataOf<FolderData>(c);
  std::optional<std::u16string> to = stringArg(c, 0);
  if (!d) return;
  *c.result = ScriptValue::boolean(to && MoveFileW(d->path.c_str(), wideOf(*to).c_str()));
}

void files(MemberCall& c) {
  FolderData* d = dataOf<FolderData>(c);
  if (!d) return;
  std::optional<std::u16string> filter = stringArg(c, 0);
  std::vector<std::u16string> patterns;
  if (filter) patterns = filterPatterns(*filter);
  *c.result = pathList(c.vm, d->path, false, filter ? &patterns : nullptr);
}

// ---- properties ----
FolderData* folderOf(void* self) { return static_cast<FolderData*>(self); }

void getAttributes(ScriptVM*, void* self, ScriptValue* v) {
  *v = ScriptValue::integer(static_cast<int32_t>(GetFileAttributesW(folderOf(self)->path.c_str())));
}
void setAttributes(ScriptVM*, void* self, const ScriptValue& v) {
  if (std::optional<int64_t> n = wholeNumber(v)) SetFileAttributesW(folderOf(self)->path.c_str(), static_cast<DWORD>(*n));
}

template <FileTimeKind K>
void getTime(ScriptVM*, void* self, ScriptValue* v) {
  FolderData* d = folderOf(self);
  std::optional<uint64_t> t = readFileTime(d->path, d->isFolder, K);
  if (t) *v = ScriptValue::integer(fileTimeToMs(*t));
  else *v = K == FileTimeKind::Created ? ScriptValue::nan() : ScriptValue::boolean(false);
}
// An integer, a float or a Date (its time value).
template <FileTimeKind K>
void setTime(ScriptVM* vm, void* self, const ScriptValue& v) {
  std::optional<int64_t> ms = wholeNumber(v);
  if (!ms && v.kind == KindNative) {
    ScriptValue date = getGlobal(vm, intern(vm, "Date"));
    if (date.kind == KindNative && v.asNative()->cls == date.asNative()->cls && v.asNative()->data)
      ms = wholeNumber(toNumber(vm, v));
  }
  uint64_t fileTime;
  FolderData* d = folderOf(self);
  if (ms && msToFileTime(*ms, &fileTime)) writeFileTime(d->path, d->isFolder, K, fileTime);
}

void getDrive(ScriptVM* vm, void* self, ScriptValue* v) { setText(vm, v, drivePart(units(folderOf(self)->path))); }
void getIsRoot(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::boolean(isDriveRoot(units(folderOf(self)->path))); }
void getName(ScriptVM* vm, void* self, ScriptValue* v) { setText(vm, v, namePart(units(folderOf(self)->path))); }
// Renames within the same folder; the object follows when it succeeds.
void setName(ScriptVM*, void* self, const ScriptValue& v) {
  if (!v.isString()) return;
  FolderData* d = folderOf(self);
  std::u16string parent = parentPart(units(d->path));
  std::wstring renamed = wideOf(parent) + L"\\" + wideOf(stringView(v.asString()));
  if (MoveFileW(d->path.c_str(), renamed.c_str())) d->path = renamed;
}
void getParent(ScriptVM* vm, void* self, ScriptValue* v) { setText(vm, v, parentPart(units(folderOf(self)->path))); }
void getPath(ScriptVM* vm, void* self, ScriptValue* v) { setWide(vm, v, folderOf(self)->path); }

std::optional<std::wstring> shortPathOf(const std::wstring& path) {
  DWORD n = GetShortPathNameW(path.c_str(), nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring out(n, L'\0');
  DWORD got = GetShortPathNameW(path.c_str(), out.data(), n);
  if (got == 0 || got >= n) return std::nullopt;
  out.resize(got);
  return out;
}
void getShortPath(ScriptVM* vm, void* self, ScriptValue* v) {
  std::optional<std::wstring> s = shortPathOf(folderOf(self)->path);
  setWide(vm, v, s ? *s : std::wstring());
}
void getShortName(ScriptVM* vm, void* self, ScriptValue* v) {
  std::optional<std::wstring> s = shortPathOf(folderOf(self)->path);
  setText(vm, v, s ? namePart(units(*s)) : std::u16string());
}

// A root: the used space of the volume; a folder: its files at any depth; a file: its length.
void getSize(ScriptVM*, void* self, ScriptValue* v) {
  FolderData* d = folderOf(self);
  if (d->isFolder && isDriveRoot(units(d->path))) {
    std::optional<uint64_t> used = freeSpace(d->path, 0);
    *v = used ? ScriptValue::integer(static_cast<int64_t>(*used)) : ScriptValue::nan();
  } else if (d->isFolder) {
    *v = ScriptValue::integer(static_cast<int64_t>(treeSize(d->path)));
  } else {
    HANDLE h = CreateFileW(d->path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LARGE_INTEGER size{};
    if (h != INVALID_HANDLE_VALUE) {
      GetFileSizeEx(h, &size);
      CloseHandle(h);
    }
    *v = ScriptValue::integer(size.QuadPart);
  }
}
void getSubFolders(ScriptVM* vm, void* self, ScriptValue* v) { *v = pathList(vm, folderOf(self)->path, true, nullptr); }
void getFiles(ScriptVM* vm, void* self, ScriptValue* v) { *v = pathList(vm, folderOf(self)->path, false, nullptr); }
void getType(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::integer(folderOf(self)->isFolder ? 1 : 0); }

constexpr Member kMembers[] = {
    {"toString", toText},
    {"exists", exists},
    instanceMethod("copy", copy),
    instanceMethod("remove", remove),
    instanceMethod("move", move),
    instanceMethod("files", files),
    instanceProperty("attributes", getAttributes, setAttributes),
    instanceProperty("dateCreated", getTime<FileTimeKind::Created>, setTime<FileTimeKind::Created>),
    instanceProperty("dateLastAccessed", getTime<FileTimeKind::Accessed>, setTime<FileTimeKind::Accessed>),
    instanceProperty("dateLastModified", getTime<FileTimeKind::Written>, setTime<FileTimeKind::Written>),
    instanceProperty("drive", getDrive),
    instanceProperty("isRootFolder", getIsRoot),
    instanceProperty("name", getName, setName),
    instanceProperty("parentPath", getParent),
    instanceProperty("path", getPath),
    instanceProperty("shortName", getShortName),
    instanceProperty("shortPath", getShortPath),
    instanceProperty("size", getSize),
    instanceProperty("subFolders", getSubFolders),
    instanceProperty("type", getType),
};

constexpr ClassDef kFolder{.name = "Folder", .members = kMembers, .call = call, .construct = construct,
                           .finalize = finalizeData<FolderData>, .data = typeKey<FolderData>()};

// `files` is both a method and a property of folders; isRootFolder, subFolders and files are not
// members of file objects.
NativeMethodFn gTableMethod;
NativePropertyFn gTableProperty;

bool folderOnly(std::string_view name) { return name == "files" || name == "isRootFolder" || name == "subFolders"; }

int method(ScriptVM* vm, NativeClass* cls, void* self, Atom name, ScriptValue* result, const ScriptValue* args) {
  if (self && !folderOf(self)->isFolder && folderOnly(atomName(vm, name))) return 0;
  return gTableMethod(vm, cls, self, name, result, args);
}
int property(ScriptVM* vm, NativeClass* cls, void* self, Atom name, int isWrite, ScriptValue* value) {
  std::string_view text = atomName(vm, name);
  if (self && !folderOf(self)->isFolder && folderOnly(text)) return 0;
  if (self && text == "files") {
    if (!isWrite) getFiles(vm, self, value);
    return 1;
  }
  return gTableProperty(vm, cls, self, name, isWrite, value);
}

}  // namespace

void registerFolder(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kFolder);
  gTableMethod = cls->method;
  gTableProperty = cls->property;
  cls->method = method;
  cls->property = property;
  setGlobal(vm, intern(vm, "File"), classObjectOf(cls));
}

}  // namespace vorlo
