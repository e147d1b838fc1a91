// RegKey: one open registry key. Failing registry calls leave the system's text for their status as
// the machine's last error and answer null or false.
#include <windows.h>

#include <memory>

#include "host/files/path_rules.h"
#include "host/host_support.h"
#include "host/registry/reg_value.h"
#include "host/registry/registry.h"
#include "host/registry/registry_rules.h"
#include "stdlib/array.h"

namespace vorlo {
namespace {

struct RegKeyData {
  HKEY key = nullptr;
  bool newCreated = false;
  ~RegKeyData() {
    if (key) RegCloseKey(key);
  }
};

struct RegKeyClass {
  NativeClass* cls = nullptr;
};

constexpr REGSAM kAllAccess = KEY_ALL_ACCESS;

HKEY predefined(uint32_t value) { return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(value))); }

// The parent and subkey of a path: a root name and the rest, or (with a base key) relative to it.
bool resolve(HKEY base, std::u16string_view path, HKEY* parent, std::wstring* subkey) {
  KeyPath parts = splitKeyPath(path);
  if (std::optional<uint32_t> root = rootKeyValue(parts.first)) {
    *parent = predefined(*root);
    *subkey = wideOf(parts.rest);
    return true;
  }
  if (!base) return false;
  *parent = base;
  *subkey = wideOf(path);
  return true;
}

ScriptValue makeKey(ScriptVM* vm, HKEY key, bool created) {
  auto data = std::make_unique<RegKeyData>();
  data->key = key;
  data->newCreated = created;
  return makeInstance(vm, classState<RegKeyClass>(vm)->cls, std::move(data));
}

// open(path, [access]) on an instance (relative paths allowed) or the class object (root paths).
void openKey(MemberCall& c, HKEY base) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> path = stringArg(c, 0);
  HKEY parent;
  std::wstring subkey;
  if (!path || !resolve(base, *path, &parent, &subkey)) return;
  REGSAM access = c.arg(1).kind == KindInteger ? static_cast<REGSAM>(c.arg(1).asInt()) : kAllAccess;
  HKEY key;
  LSTATUS status = RegOpenKeyExW(parent, subkey.c_str(), 0, access, &key);
  if (status != ERROR_SUCCESS) return osFailure(c, status, ScriptValue::null());
  *c.result = makeKey(c.vm, key, false);
}

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue* args, ScriptValue* result) {
  MemberCall c{vm, cls, nullptr, result, args};
  openKey(c, nullptr);
}
void call(ScriptVM* vm, NativeClass* cls, void*, ScriptValue* result, const ScriptValue* args) {
  construct(vm, cls, args, result);
}

HKEY keyOf(const MemberCall& c) {
  RegKeyData* d = dataOf<RegKeyData>(c);
  return d ? d->key : nullptr;
}

void toText(MemberCall& c) { setClassText(c, u"[object RegKey]"); }
void open(MemberCall& c) { openKey(c, keyOf(c)); }

void create(MemberCall& c) {
  *c.result = ScriptValue::null();
  std::optional<std::u16string> path = stringArg(c, 0);
  HKEY parent;
  std::wstring subkey;
  if (!path || !resolve(keyOf(c), *path, &parent, &subkey)) return;
  std::optional<std::u16string> keyClass = stringArg(c, 1);
  std::wstring className = keyClass ? wideOf(*keyClass) : L"REG_SZ";
  REGSAM access = createAccess(c.arg(2).kind == KindInteger ? c.arg(2).asInt() : 0);
  HKEY key;
  DWORD disposition = 0;
  LSTATUS status = RegCreateKeyExW(parent, subkey.c_str(), 0, className.data(), 0, access, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return osFailure(c, status, ScriptValue::null());
  *c.result = makeKey(c.vm, key, disposition == REG_CREATED_NEW_KEY);
}

void deleteKey(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> path = stringArg(c, 0);
  HKEY parent;
  std::wstring subkey;
  if (!path || !resolve(keyOf(c), *path, &parent, &subkey)) return;
  LSTATUS status = RegDeleteKeyW(parent, subkey.c_str());
  if (status != ERROR_SUCCESS) return osFailure(c, status);
  *c.result = ScriptValue::boolean(true);
}

void deleteValue(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> name = stringArg(c, 0);
  if (!name) return;
  LSTATUS status = RegDeleteValueW(key, wideOf(*name).c_str());
  if (status != ERROR_SUCCESS) return osFailure(c, status);
  *c.result = ScriptValue::boolean(true);
}

void getSubkeyNames(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  ScriptValue list = newArrayValue(c.vm, 0);
  *c.result = list;
  for (DWORD i = 0;; ++i) {
    wchar_t name[261];
    DWORD length = 261;
    LSTATUS status = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_SUCCESS) {
      ScriptValue text;
      setWide(c.vm, &text, std::wstring_view(name, length));
      arraySet(c.vm, list.asArray(), i, text);
    } else if (status == ERROR_MORE_DATA) {
      arraySet(c.vm, list.asArray(), i, ScriptValue());  // a name too long to read: undefined
    } else {
      break;
    }
  }
}

// One value of the key, read within its stored length (the data need not be terminated).
std::optional<RegValueData> readValue(HKEY key, const wchar_t* name, LSTATUS* status) {
  RegValueData value;
  DWORD type = 0, size = 0;
  for (int attempt = 0; attempt < 8; ++attempt) {
    *status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (*status != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(size);
    DWORD got = size;
    *status = RegQueryValueExW(key, name, nullptr, &type, value.data.data(), &got);
    if (*status == ERROR_MORE_DATA) continue;  // it grew in between
    if (*status != ERROR_SUCCESS) return std::nullopt;
    value.data.resize(got);
    value.type = type;
    if (name) value.name = std::u16string(name, name + wcslen(name));
    return value;
  }
  return std::nullopt;
}

void getValue(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  *c.result = ScriptValue::null();
  std::optional<std::u16string> name = stringArg(c, 0);
  std::wstring wide = name ? wideOf(*name) : std::wstring();
  LSTATUS status;
  std::optional<RegValueData> value = readValue(key, name ? wide.c_str() : nullptr, &status);
  if (!value) return osFailure(c, status, ScriptValue::null());
  *c.result = makeRegValue(c.vm, std::move(*value));
}

void getValues(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  ScriptValue list = newArrayValue(c.vm, 0);
  *c.result = list;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD length = 16384;
    LSTATUS status = RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    std::optional<RegValueData> value = readValue(key, name, &status);
    if (!value) continue;
    ScriptValue v = makeRegValue(c.vm, std::move(*value));
    arrayAppend(c.vm, list.asArray(), v);
  }
}

// Writes the value; string types get their terminator and REG_MULTI_SZ both, in a copy.
void write(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  *c.result = ScriptValue::boolean(false);
  RegValueData* value = regValueOf(c.vm, c.arg(0));
  if (!value) return;
  std::vector<uint8_t> bytes = value->data;
  if (value->type == kRegMultiSz) {
    bytes = terminatedMultiString(value->data.data(), value->data.size());
  } else if (value->type == kRegSz || value->type == kRegExpandSz) {
    bytes.insert(bytes.end(), {0, 0});
  }
  std::wstring name = value->name ? wideOf(*value->name) : std::wstring();
  LSTATUS status = RegSetValueExW(key, value->name ? name.c_str() : nullptr, 0, value->type, bytes.data(), static_cast<DWORD>(bytes.size()));
  if (status != ERROR_SUCCESS) return osFailure(c, status);
  *c.result = ScriptValue::boolean(true);
}

void clone(MemberCall& c) {
  HKEY key = keyOf(c);
  if (!key) return;
  *c.result = ScriptValue::null();
  HKEY copy;
  LSTATUS status = RegOpenKeyExW(key, nullptr, 0, kAllAccess, &copy);
  if (status != ERROR_SUCCESS) return osFailure(c, status, ScriptValue::null());
  *c.result = makeKey(c.vm, copy, false);
}

void getClassName(ScriptVM* vm, void* self, ScriptValue* v) {
  wchar_t name[1024];
  DWORD length = 1024;
  if (RegQueryInfoKeyW(static_cast<RegKeyData*>(self)->key, name, &length, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
    setWide(vm, v, std::wstring_view(name, length));
}
void getNewCreated(ScriptVM*, void* self, ScriptValue* v) { *v = ScriptValue::boolean(static_cast<RegKeyData*>(self)->newCreated); }
void getLastWriteTime(ScriptVM*, void* self, ScriptValue* v) {
  FILETIME t;
  if (RegQueryInfoKeyW(static_cast<RegKeyData*>(self)->key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr, &t) == ERROR_SUCCESS)
    *v = ScriptValue::number(static_cast<double>(fileTimeToMs(uint64_t(t.dwHighDateTime) << 32 | t.dwLowDateTime)));
}

constexpr Member kMembers[] = {
    {"toString", toText},
    {"open", open},
    {"create", create},
    {"deleteKey", deleteKey},
    instanceMethod("deleteValue", deleteValue),
    instanceMethod("getSubkeyNames", getSubkeyNames),
    instanceMethod("getValues", getValues),
    instanceMethod("getValue", getValue),
    instanceMethod("write", write),
    instanceMethod("clone", clone),
    instanceProperty("className", getClassName),
    instanceProperty("newCreated", getNewCreated),
    instanceProperty("lastWriteTime", getLastWriteTime),
};

constexpr ClassDef kRegKey{.name = "RegKey", .members = kMembers, .call = call, .construct = construct,
                           .finalize = finalizeData<RegKeyData>, .data = typeKey<RegKeyData>()};

}  // namespace

void registerRegistry(ScriptVM* vm) {
  NativeClass* cls = registerClass(vm, kRegKey);
  installClassState(vm, std::make_unique<RegKeyClass>(RegKeyClass{cls}));
  registerRegValue(vm);
}

}  // namespace vorlo
