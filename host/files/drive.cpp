// Drive: one present drive letter, its root "X:\" and what the volume reports.
#include <windows.h>

#include <memory>

#include "engine/convert.h"
#include "host/files/file_system.h"
#include "host/files/folder.h"
#include "host/host_support.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

struct DriveData {
  wchar_t root[4];  // "X:\"
};

struct DriveClass {
  NativeClass* cls = nullptr;
};

ScriptValue makeDrive(ScriptVM* vm, NativeClass* cls, wchar_t letter) {
  auto data = std::make_unique<DriveData>(DriveData{{letter, L':', L'\\', 0}});
  return makeInstance(vm, cls, std::move(data));
}

// "X:..." with X a present drive (any case); whatever follows the ":" is ignored.
void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  *result = ScriptValue::null();
  std::optional<std::u16string> spec = stringArg(c, 0);
  if (!spec || spec->size() < 2 || (*spec)[1] != u':') return;
  char16_t letter = (*spec)[0];
  if (letter >= u'a' && letter <= u'z') letter = static_cast<char16_t>(letter - 32);
  if (letter < u'A' || letter > u'Z' || !(GetLogicalDrives() & (1u << (letter - u'A')))) return;
  *result = makeDrive(vm, cls, static_cast<wchar_t>(letter));
}
void call(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

void toText(MemberCall& c) { setClassText(c, u"[Object Drive]"); }

void getDrives(ScriptVM* vm, void*, ScriptValue* v) {
  DriveClass* state = classState<DriveClass>(vm);
  ScriptValue list = newArrayValue(vm, 0);
  DWORD bits = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(bits & (1u << i))) continue;
    ScriptValue drive = makeDrive(vm, state->cls, static_cast<wchar_t>(L'A' + i));
    arrayAppend(vm, list.asArray(), drive);
  }
  *v = list;
}

DriveData* driveOf(void* self) { return static_cast<DriveData*>(self); }

template <int Kind>
void getSpace(ScriptVM*, void* self, ScriptValue* v) {
  std::optional<uint64_t> n = freeSpace(driveOf(self)->root, Kind);
  *v = n ? ScriptValue::integer(static_cast<int64_t>(*n)) : ScriptValue::nan();
}
void getLetter(ScriptVM* vm, void* self, ScriptValue* v) { setWide(vm, v, std::wstring_view(driveOf(self)->root, 1)); }
void getRoot(ScriptVM* vm, void* self, ScriptValue* v) { setWide(vm, v, driveOf(self)->root); }
void getType(ScriptVM* vm, void* self, ScriptValue* v) {
  static constexpr const char* kTypes[] = {"unknown", "no root dir", "removable", "fixed", "network", "cdrom", "ram disk"};
  UINT type = GetDriveTypeW(driveOf(self)->root);
  setText(vm, v, type < std::size(kTypes) ? kTypes[type] : "unknown");
}

struct VolumeInfo {
  wchar_t name[128] = {}, fileSystem[128] = {};
  DWORD serial = 0;
  bool ok = false;
};
VolumeInfo volumeOf(void* self) {
  VolumeInfo info;
  info.ok = GetVolumeInformationW(driveOf(self)->root, info.name, 128, &info.serial, nullptr, nullptr, info.fileSystem, 128);
  return info;
}
void getFileSystem(ScriptVM* vm, void* self, ScriptValue* v) {
  VolumeInfo info = volumeOf(self);
  if (info.ok) setWide(vm, v, info.fileSystem);
  else *v = ScriptValue::boolean(false);
}
void getSerial(ScriptVM* vm, void* self, ScriptValue* v) {
  VolumeInfo info = volumeOf(self);
  setText(vm, v, info.ok ? std::to_string(info.serial) : std::string());
}
void getVolumeName(ScriptVM* vm, void* self, ScriptValue* v) {
  VolumeInfo info = volumeOf(self);
  setWide(vm, v, info.ok ? info.name : L"");
}
void setVolumeName(ScriptVM* vm, void* self, const ScriptValue& v) {
  ScriptValue text = toStringValue(vm, v);
  SetVolumeLabelW(driveOf(self)->root, wideOf(stringView(text.asString())).c_str());
}
void getIsReady(ScriptVM*, void* self, ScriptValue* v) {
  HANDLE h = CreateFileW(driveOf(self)->root, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD error = GetLastError();
  if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
  *v = ScriptValue::boolean(h != INVALID_HANDLE_VALUE || error != ERROR_NOT_READY);
}

constexpr Member kMembers[] = {
    {"toString", toText},
    {"drives", nullptr, getDrives},
    instanceProperty("availableSpace", getSpace<1>),
    instanceProperty("freeSpace", getSpace<3>),
    instanceProperty("totalSize", getSpace<2>),
    instanceProperty("driveLetter", getLetter),
    instanceProperty("path", getRoot),
    instanceProperty("rootFolder", getRoot),
    instanceProperty("driveType", getType),
    instanceProperty("fileSystem", getFileSystem),
    instanceProperty("serialNumber", getSerial),
    instanceProperty("volumeName", getVolumeName, setVolumeName),
    instanceProperty("isReady", getIsReady),
};

constexpr ClassDef kDrive{.name = "Drive", .members = kMembers, .call = call, .construct = construct,
                          .finalize = finalizeData<DriveData>, .data = typeKey<DriveData>()};

}  // namespace

void registerDrive(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kDrive);
  installClassState(vm, std::make_unique<DriveClass>(DriveClass{cls}));
}

}  // namespace vorlo
