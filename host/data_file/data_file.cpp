#include "host/data_file/data_file.h"

#include <windows.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "engine/ansi.h"
#include "engine/array.h"
#include "engine/convert.h"
#include "engine/embed.h"
#include "engine/object.h"
#include "engine/roots.h"
#include "engine/symbols.h"
#include "engine/tables.h"
#include "host/data_file/data_file_layout.h"
#include "host/host_support.h"
#include "stdlib/array.h"
#include "stdlib/array_store.h"
#include "util/text.h"

namespace vorlo {
namespace {

void construct(ScriptVM* vm, NativeClass* cls, const ScriptValue*, ScriptValue* result) { makeInstance(vm, cls, nullptr, result); }
void toText(MemberCall& c) { setClassText(c, u"[object DataFile]"); }

// The text a URI function gives for a string; nullopt when it fails (malformed text).
std::optional<std::u16string> uriText(ScriptVM* vm, const char* function, const ScriptValue& text) {
  ScriptValue slots[2] = {ScriptValue::integer(1), text};
  SpanRoot root(vm, slots, 2);
  if (!callGlobal(vm, function, 2, slots) || !vm->result.isString()) return std::nullopt;
  return std::u16string(stringView(vm->result.asString()));
}

// ---- save ----
class Saver {
 public:
  Saver(ScriptVM* vm, std::wstring file) : vm_(vm), file_(std::move(file)) {}

  void save(const std::wstring& section, const ScriptValue& value, int depth) {
    auto put = [&](const wchar_t* key, const std::wstring& text) {
      WritePrivateProfileStringW(section.c_str(), key, text.c_str(), file_.c_str());
    };
    switch (value.kind) {
      case KindString: {
        put(L"type", L"string");
        std::optional<std::u16string> encoded = value.asString()->length ? uriText(vm_, "encodeURI", value) : std::u16string();
        put(L"value", encoded ? wideOf(*encoded) : std::wstring());
        return;
      }
      case KindBoolean:
        put(L"type", L"boolean");
        put(L"value", value.asBool() ? L"true" : L"false");
        return;
      case KindInteger:
      case KindFloat:
      case KindNaN: {
        put(L"type", value.kind == KindInteger ? L"integer" : L"float");
        ScriptValue text = toStringValue(vm_, value);
        put(L"value", wideOf(stringView(text.asString())));
        return;
      }
      case KindArray:
      case KindObject:
        break;
      default:
        return;  // undefined, null, functions, native objects: not written
    }
    // A member that refers back to an object on the current path is left out, and so is
    // everything deeper than the cap: a self-referring structure ends.
    const void* record = value.asPointer();
    for (const void* p : path_)
      if (p == record) return;
    if (depth >= kMaxDataFileDepth) return;
    path_.push_back(record);
    ValueRoot keep(vm_, value);
    if (value.kind == KindArray) {
      put(L"type", L"array");
      for (const auto& [index, element] : storeElements(value.asArray()))
        save(section + L"." + std::to_wstring(index), element, depth + 1);
    } else {
      put(L"type", L"object");
      ScriptObject* o = value.asObject();
      for (uint32_t i = 0; i < o->slotCount; ++i) {
        Atom key = o->slots[i].key;
        if (key == kFreeSlot || key == kUnnamedSlot || key == vm_->atoms.proto) continue;
        std::string_view name = atomName(vm_, key);
        std::u16string units = ansiToUtf16(name.data(), name.size());
        save(section + L"." + wideOf(units), o->slots[i].value, depth + 1);
      }
    }
    path_.pop_back();
  }

 private:
  ScriptVM* vm_;
  std::wstring file_;
  std::vector<const void*> path_;
};

void save(MemberCall& c) {
  if (c.count() < 2) return;
  for (int64_t i = 0; i < c.count(); ++i)
    if (!c.arg(i).isString()) return;
  std::wstring file = wideOf(stringView(c.arg(0).asString()));
  Saver saver(c.vm, file);
  for (int64_t i = 1; i < c.count(); ++i) {
    std::u16string_view name = stringView(c.arg(i).asString());
    std::string ansi = stringToAnsi(c.arg(i).asString());
    ScriptValue value = getGlobal(c.vm, intern(c.vm, ansi.c_str(), ansi.size()));
    saver.save(wideOf(name), value, 0);
  }
}

// ---- load ----
std::wstring profileText(const std::wstring& file, const std::wstring& section, const wchar_t* key, const wchar_t* fallback) {
  std::wstring buffer;
  for (DWORD size = 1024;; size += 1024) {
    buffer.assign(size, L'\0');
    DWORD got = GetPrivateProfileStringW(section.c_str(), key, fallback, buffer.data(), size, file.c_str());
    if (got + 1 < size || size >= (1u << 26)) {
      buffer.resize(got);
      return buffer;
    }
  }
}

std::vector<std::wstring> sectionNames(const std::wstring& file) {
  std::wstring block;
  for (DWORD size = 1024;; size += 1024) {
    block.assign(size, L'\0');
    DWORD got = GetPrivateProfileSectionNamesW(block.data(), size, file.c_str());
    if (got + 2 < size || size >= (1u << 26)) {
      block.resize(got);
      break;
    }
  }
  std::vector<std::wstring> names;
  for (size_t at = 0; at < block.size();) {
    size_t end = block.find(L'\0', at);
    if (end == std::wstring::npos) end = block.size();
    if (end > at) names.push_back(block.substr(at, end - at));
    at = end + 1;
  }
  return names;
}

// Where a section's value goes: a global, an object's member or an array's element.
struct Target {
  enum { Global, Member, Element } kind = Global;
  Atom atom = 0;
  ScriptValue container;
  int64_t index = 0;

  ScriptValue get(ScriptVM* vm) const {
    ScriptValue v;
    if (kind == Global) return getGlobal(vm, atom);
    if (kind == Member) objectGet(vm, container.asObject(), atom, &v);
    else arrayGet(container.asArray(), index, &v);
    return v;
  }
  void set(ScriptVM* vm, const ScriptValue& v) const {
    if (kind == Global) setGlobal(vm, atom, v);
    else if (kind == Member) objectSet(vm, container.asObject(), atom, v);
    else arraySet(vm, container.asArray(), index, v);
  }
};

Atom atomOf(ScriptVM* vm, std::u16string_view name) {
  std::string ansi = utf16ToAnsi(name.data(), name.size());
  return intern(vm, ansi.c_str(), ansi.size());
}

void loadSection(ScriptVM* vm, const std::wstring& file, const std::wstring& section) {
  std::vector<std::u16string> parts = sectionParts(unitsOf(section));
  Target target;
  target.atom = atomOf(vm, parts[0]);
  ValueRoot container(vm);
  for (size_t i = 1; i < parts.size(); ++i) {
    ScriptValue current = target.get(vm);
    if (current.kind == KindObject) {
      container.value = current;
      Atom atom = atomOf(vm, parts[i]);
      ScriptValue existing;
      if (!objectFindOwn(current.asObject(), atom)) objectSet(vm, current.asObject(), atom, ScriptValue());
      (void)existing;
      target = Target{Target::Member, atom, current, 0};
    } else if (current.kind == KindArray) {
      std::optional<int64_t> index = indexPart(parts[i]);
      if (!index) return;
      container.value = current;
      ScriptValue existing;
      if (!arrayGet(current.asArray(), *index, &existing)) arraySet(vm, current.asArray(), *index, ScriptValue());
      target = Target{Target::Element, 0, current, *index};
    } else {
      return;
    }
  }
  std::optional<StoredType> type = storedType(unitsOf(profileText(file, section, L"type", L"string")));
  if (!type) return;
  ScriptValue value;
  switch (*type) {
    case StoredType::Boolean:
      value = ScriptValue::boolean(lstrcmpiW(profileText(file, section, L"value", L"false").c_str(), L"true") == 0);
      break;
    case StoredType::Integer:
      value = ScriptValue::integer(integerValue(unitsOf(profileText(file, section, L"value", L"0"))));
      break;
    case StoredType::String: {
      std::wstring text = profileText(file, section, L"value", L"");
      ValueRoot raw(vm, ownedString(vm, unitsOf(text)));
      std::optional<std::u16string> decoded = uriText(vm, "decodeURI", raw.value);
      value = decoded ? ownedString(vm, *decoded) : ScriptValue();
      break;
    }
    case StoredType::Float: {
      std::string text = fromWide(profileText(file, section, L"value", L"0."));
      value = ScriptValue::number(std::atof(text.c_str()));
      break;
    }
    case StoredType::Array:
      value = newArrayValue(vm, 0);
      break;
    case StoredType::Object:
      value = ScriptValue::object(newObject(vm));
      break;
  }
  ValueRoot keep(vm, value);
  target.set(vm, value);
}

void load(MemberCall& c) {
  *c.result = ScriptValue::boolean(false);
  std::optional<std::u16string> path = stringArg(c, 0);
  if (!path) return;
  std::wstring file = wideOf(*path);
  if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  for (const std::wstring& section : sectionNames(file)) loadSection(c.vm, file, section);
  *c.result = ScriptValue::boolean(true);
}

void remove(MemberCall& c) {
  if (std::optional<std::u16string> path = stringArg(c, 0)) DeleteFileW(wideOf(*path).c_str());
}

// The enciphered forms need the package's file key, which a machine without a package (the vorlo
// command) does not have: loading answers false and saving writes nothing.
void loadAndDec(MemberCall& c) { *c.result = ScriptValue::boolean(false); }
void saveAndEnc(MemberCall&) {}

constexpr Member kMembers[] = {
    {"toString", toText}, {"load", load}, {"loadAndDec", loadAndDec}, {"save", save}, {"saveAndEnc", saveAndEnc}, {"remove", remove},
};

constexpr ClassDef kDataFile{.name = "DataFile", .members = kMembers, .construct = construct};

}  // namespace

void registerDataFile(ScriptVM* vm) { registerClass(vm, kDataFile); }

}  // namespace vorlo
