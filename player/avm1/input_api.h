// The script side of the pointer and the keyboard: Key and Mouse answer from the stage's input
// state, clips have hitTest, startDrag and stopDrag; the player moves the focus
// and hands typed keys to the focused text field through these calls.
#pragma once
#include "player/avm1/vm.h"
#include "player/display/edit_text.h"

namespace vorlo::player::avm1 {

// Installs Key.isDown/isToggled/getCode/getAscii, Mouse.show/hide, MovieClip.hitTest,
// startDrag and stopDrag (the player calls it for each movie it loads).
void installInput(Vm& vm, Object* global);

// Moves the keyboard focus (null: nowhere), with the focus events scripts listen to.
void focusObject(Vm& vm, ClipObject* to);
// The text field that has the focus, or null.
EditTextObject* focusedField(Vm& vm);
// Edits the focused input field for a key: characters replace the selection, backspace and delete
// remove, arrows, home and end move the caret. True when the field changed.
bool typeIntoFocusedField(Vm& vm, int keyCode, char16_t character);

}  // namespace vorlo::player::avm1
