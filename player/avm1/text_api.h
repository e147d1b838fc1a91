// What the text classes (TextField, TextFormat, TextField.StyleSheet, Selection, TextSnapshot)
// share: installing them, turning formats into script objects and back, and reaching a field
// from a script value.
#pragma once
#include <vector>

#include "player/avm1/vm.h"
#include "player/display/edit_text.h"

namespace vorlo::player::avm1 {

// Installs every text class on the global object and the text methods of MovieClip.
void installText(Vm& vm, Object* global);

// Fields bound to variables show the variables' values (called after each frame's scripts).
void showBoundVariables(Vm& vm);

// ---- Helpers of the native text classes ----
inline const Value& textArg(const std::vector<Value>& args, size_t i) {
  static const Value undef;
  return i < args.size() ? args[i] : undef;
}
void textMethod(Vm& vm, Object* o, const char* name, NativeFn fn);
// A property computed by native code (getter and optional setter), as the reference player's
// built-in classes have them on their prototypes.
void textAccessor(Vm& vm, Object* o, const char* name, NativeFn get, NativeFn set, uint8_t flags = 0,
                  uint8_t minVersion = 0);

// Objects the text classes keep on the VM (prototypes, the focus): get and set by name.
Value textState(Vm& vm, const char* name);
void setTextState(Vm& vm, const char* name, const Value& v);
Object* textProto(Vm& vm, const char* name);  // textState as an object, or null

// The text field that a script value is the object of, or null.
EditTextObject* fieldOf(const Value& v);

// Values kept per field that drawing does not need (selection, style sheet, tab index, filters):
// a hidden object on the field's script object, made on demand when `create`.
Object* fieldExtras(Vm& vm, Object* field, bool create);

// TextFormat objects.
Object* newTextFormatObject(Vm& vm, const TextFormat& format);
// The format a TextFormat object carries (unset fields for anything else).
TextFormat textFormatOf(const Value& v);
// The fields a StyleSheet style object gives (used by TextField.StyleSheet.transform).
TextFormat formatFromStyle(Vm& vm, Object* style, std::string* display);

// Focus (Selection): the object that has it, or null; removes it when that object goes.
void focusLost(Vm& vm, Object* object);

void installTextFormat(Vm& vm, Object* global);
void installTextField(Vm& vm, Object* global);
void installStyleSheet(Vm& vm, Object* textFieldCtor);
void installSelection(Vm& vm, Object* global);
void installTextSnapshot(Vm& vm, Object* global);

}  // namespace vorlo::player::avm1
