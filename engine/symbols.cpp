#include "engine/symbols.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/error.h"
#include "engine/tables.h"
#include "engine/vm.h"

namespace vorlo {

uint32_t nameHash(const char* text, size_t length) {
  uint32_t h = 0;
  for (size_t i = 0; i < length; i++) {
    auto b = static_cast<unsigned char>(text[i]);
    h = (h >> 7) ^ (h >> 16) ^ b ^ (h << 5);
  }
  return h;
}

bool findAtom(const ScriptVM* vm, const char* text, size_t length, Atom* atom) {
  uint32_t bucket = nameHash(text, length) % kSymbolBuckets;
  for (SymbolEntry* e = vm->symbols.buckets[bucket]; e; e = e->next) {
    if (e->length == length && std::memcmp(e->name, text, length) == 0) {
      *atom = e->atom;
      return true;
    }
  }
  return false;
}

Atom intern(ScriptVM* vm, const char* text, size_t length) {
  Atom atom;
  if (findAtom(vm, text, length, &atom)) return atom;
  SymbolTable& table = vm->symbols;
  if (length > UINT32_MAX - sizeof(SymbolEntry) || table.byAtom.size() >= kUnnamedSlot)
    raiseOutOfMemory(vm);
  auto* entry = static_cast<SymbolEntry*>(std::malloc(sizeof(SymbolEntry) + length));
  if (!entry) raiseOutOfMemory(vm);
  atom = static_cast<Atom>(table.byAtom.size());
  try {
    table.byAtom.push_back(entry);
  } catch (const std::bad_alloc&) {
    std::free(entry);
    raiseOutOfMemory(vm);
  }
  try {
    appendValue(vm, vm->globals, ScriptValue::undefined());
  } catch (...) {
    table.byAtom.pop_back();
    std::free(entry);
    throw;
  }
  entry->atom = atom;
  entry->length = static_cast<uint32_t>(length);
  std::memcpy(entry->name, text, length);
  entry->name[length] = '\0';
  uint32_t bucket = nameHash(text, length) % kSymbolBuckets;
  entry->next = table.buckets[bucket];
  table.buckets[bucket] = entry;
  return atom;
}

Atom intern(ScriptVM* vm, const char* text) { return intern(vm, text, std::strlen(text)); }

std::string_view atomName(const ScriptVM* vm, Atom atom) {
  const auto& byAtom = vm->symbols.byAtom;
  if (atom >= byAtom.size()) return "???";
  return {byAtom[atom]->name, byAtom[atom]->length};
}

void releaseSymbols(SymbolTable& table) {
  for (SymbolEntry*& head : table.buckets) {
    while (SymbolEntry* e = head) {
      head = e->next;
      std::free(e);
    }
  }
  table.byAtom.clear();
  table.byAtom.shrink_to_fit();
}

}  // namespace vorlo
