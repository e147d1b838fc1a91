// The keyword table a machine keeps for its compilations: 32 buckets by name hash, each entry a copy
// of the keyword and its token code.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vorlo {

struct ScriptVM;

inline constexpr int kKeywordBuckets = 32;

struct KeywordEntry {
  KeywordEntry* next;
  int code;
  uint32_t length;
  char name[1];  // `length` bytes plus a terminator
};

struct KeywordTable {
  KeywordEntry* buckets[kKeywordBuckets] = {};

  KeywordTable() = default;
  KeywordTable(const KeywordTable&) = delete;
  KeywordTable& operator=(const KeywordTable&) = delete;
  ~KeywordTable();
};

// Adds the language's keywords that the machine's table does not hold yet (entries already present
// are kept). Called before each compilation.
void loadKeywords(ScriptVM* vm);

// The keyword code of a name, or TokIdentifier (132) when it is not a keyword.
int lookupKeyword(const ScriptVM* vm, const char* text, size_t length);

}  // namespace vorlo
