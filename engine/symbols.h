// Interned names. Every name has an Atom (its index) and a global variable of the same index.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/value.h"

namespace vorlo {

// The name hash shared by the symbol table, the objects' name indexes and the compiler's tables.
uint32_t nameHash(const char* text, size_t length);

inline constexpr int kSymbolBuckets = 256;

struct SymbolEntry {
  SymbolEntry* next;
  Atom atom;
  uint32_t length;
  char name[1];  // `length` bytes plus a terminator
};

struct SymbolTable {
  SymbolEntry* buckets[kSymbolBuckets] = {};
  // Atom -> entry. A lookup cache over the buckets: the name of an Atom is found without a scan.
  std::vector<SymbolEntry*> byAtom;
};

// The Atom of a name, interning it (and appending its global, undefined) when it is new.
Atom intern(ScriptVM* vm, const char* text, size_t length);
Atom intern(ScriptVM* vm, const char* text);
// The Atom of a name if it is already interned.
bool findAtom(const ScriptVM* vm, const char* text, size_t length, Atom* atom);
// The name of an Atom; "???" for an Atom that was never handed out.
std::string_view atomName(const ScriptVM* vm, Atom atom);

void releaseSymbols(SymbolTable& table);

}  // namespace vorlo
