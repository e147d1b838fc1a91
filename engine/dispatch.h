// How the machine finds what a call, a method call, a construction or a with-scope name reaches:
// native slots are called here; a script function found is handed back for the interpreter to enter
// (script calls never recurse in the host).
#pragma once
#include "engine/value.h"

namespace vorlo {

enum class CallOutcome {
  Done,      // a native slot produced *result
  Script,    // *function is a script function to enter (with *thisValue for method calls)
  NotFound,  // nothing could take the call
};

// CALL: the callee value. Native `call` slots run here.
CallOutcome resolveCall(ScriptVM* vm, const ScriptValue& callee, const ScriptValue* args,
                        ScriptValue* result, ScriptValue* function);

// CALLMETHOD: `receiver.name(args)`.
CallOutcome resolveMethod(ScriptVM* vm, const ScriptValue& receiver, Atom name, const ScriptValue* args,
                          ScriptValue* result, ScriptValue* function);

// One with-scope entry asked for a method call (CALLNAME); NotFound lets the next entry answer.
CallOutcome resolveWithMethod(ScriptVM* vm, const ScriptValue& entry, Atom name, const ScriptValue* args,
                              ScriptValue* result, ScriptValue* function);

// NEW on a value other than a script function: Done with *result for a class that constructs.
CallOutcome resolveConstruct(ScriptVM* vm, const ScriptValue& constructor, const ScriptValue* args,
                             ScriptValue* result);

// The object a script constructor receives as `this`: its "__proto__" is the function's property
// object (made on first use with the Object class's statics as its own "__proto__").
ScriptValue newConstructedObject(ScriptVM* vm, FunctionValue* function);

// STORENAME on one with-scope entry; true when the entry took the value.
bool storeIntoWithEntry(ScriptVM* vm, const ScriptValue& entry, Atom name, const ScriptValue& value);
// DELNAME on one entry; true when it was an object that had the name.
bool deleteFromWithEntry(ScriptVM* vm, const ScriptValue& entry, Atom name);

}  // namespace vorlo
