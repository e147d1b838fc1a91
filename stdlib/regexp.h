// The RegExp class, and the pattern forms of the String members match, replace, search and split.
#pragma once
#include <cstdint>

#include "engine/value.h"

namespace vorlo {

void registerRegExp(ScriptVM* vm);

// True when value is a RegExp instance (the class object is not one).
bool isRegExp(ScriptVM* vm, const ScriptValue& value);

// String members with a RegExp argument; `text` is the string the member was called on.
void regExpMatch(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, ScriptValue* result);
void regExpReplace(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp,
                   const ScriptValue& replacement, ScriptValue* result);
void regExpSearch(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, ScriptValue* result);
void regExpSplit(ScriptVM* vm, const ScriptValue& text, const ScriptValue& regexp, int64_t limit,
                 ScriptValue* result);

}  // namespace vorlo
