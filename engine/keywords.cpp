#include "engine/keywords.h"

#include <cstdlib>
#include <cstring>

#include "engine/error.h"
#include "engine/symbols.h"
#include "engine/token.h"
#include "engine/vm.h"

namespace vorlo {

namespace {

struct KeywordSpec {
  const char* name;
  int code;
};

constexpr KeywordSpec kKeywords[] = {
    {"break", TokBreak},       {"continue", TokContinue}, {"delete", TokDelete},
    {"else", TokElse},         {"for", TokFor},           {"function", TokFunction},
    {"if", TokIf},             {"in", TokIn},             {"new", TokNew},
    {"return", TokReturn},     {"this", TokThis},         {"typeof", TokTypeof},
    {"var", TokVar},           {"void", TokVoid},         {"while", TokWhile},
    {"with", TokWith},         {"case", TokCase},         {"catch", TokCatch},
    {"class", TokClass},       {"const", TokConst},       {"debugger", TokDebugger},
    {"default", TokDefault},   {"do", TokDo},             {"enum", TokEnum},
    {"export", TokExport},     {"extends", TokExtends},   {"finally", TokFinally},
    {"import", TokImport},     {"super", TokSuper},       {"switch", TokSwitch},
    {"throw", TokThrow},       {"try", TokTry},           {"null", TokNull},
    {"true", TokTrue},         {"false", TokFalse},       {"undefined", TokUndefined},
    {"struct", TokStruct},     {"dllimport", TokDllimport}, {"as", TokAs},
};

const KeywordEntry* findEntry(const KeywordTable& table, const char* text, size_t length) {
  for (const KeywordEntry* e = table.buckets[nameHash(text, length) % kKeywordBuckets]; e; e = e->next)
    if (e->length == length && std::memcmp(e->name, text, length) == 0) return e;
  return nullptr;
}

}  // namespace

KeywordTable::~KeywordTable() {
  for (KeywordEntry*& head : buckets) {
    while (KeywordEntry* e = head) {
      head = e->next;
      std::free(e);
    }
  }
}

void loadKeywords(ScriptVM* vm) {
  KeywordTable& table = vm->keywords;
  for (const KeywordSpec& k : kKeywords) {
    size_t length = std::strlen(k.name);
    if (findEntry(table, k.name, length)) continue;
    auto* entry = static_cast<KeywordEntry*>(std::malloc(sizeof(KeywordEntry) + length));
    if (!entry) raiseOutOfMemory(vm);
    entry->code = k.code;
    entry->length = static_cast<uint32_t>(length);
    std::memcpy(entry->name, k.name, length + 1);
    KeywordEntry*& head = table.buckets[nameHash(k.name, length) % kKeywordBuckets];
    entry->next = head;
    head = entry;
  }
}

int lookupKeyword(const ScriptVM* vm, const char* text, size_t length) {
  const KeywordEntry* e = findEntry(vm->keywords, text, length);
  return e ? e->code : TokIdentifier;
}

}  // namespace vorlo
