#include "stdlib/regexp.h"

namespace vorlo {

// Not built yet: the class is not bound and nothing is a RegExp.
void registerRegExp(ScriptVM*) {}
bool isRegExp(ScriptVM*, const ScriptValue&) { return false; }
void regExpMatch(ScriptVM*, const ScriptValue&, const ScriptValue&, ScriptValue* result) { *result = {}; }
void regExpReplace(ScriptVM*, const ScriptValue&, const ScriptValue&, const ScriptValue&, ScriptValue* result) {
  *result = {};
}
void regExpSearch(ScriptVM*, const ScriptValue&, const ScriptValue&, ScriptValue* result) { *result = {}; }
void regExpSplit(ScriptVM*, const ScriptValue&, const ScriptValue&, int64_t, ScriptValue* result) { *result = {}; }

}  // namespace vorlo
