// Automation calls on the movie player control with the script values they take and give, as data:
// one row per script member, naming the control's method or property and the kinds it accepts.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <optional>
#include <string>

#include "stdlib/binding.h"

namespace vorlo::flash {

// What a control call answers to the script.
enum class Answer {
  Done,         // true when the control accepted the call
  Count,        // its integer, -1 on failure
  Text,         // its text, undefined on failure
  Number,       // its floating-point number, undefined on failure
  Version,      // its integer (undefined on failure)
};

struct ControlCall {
  const char* member;
  const wchar_t* control;
  const char* args;  // one letter per argument: 'i' integer, 's' string, 'f' float (kinds must match)
  Answer answer;
};

// Runs the row's call on `control` with the member call's arguments; undefined when an argument is of
// the wrong kind or there is no control.
void runControlCall(const ControlCall& row, IDispatch* control, MemberCall& c);

// Property access by name; false when the control refused.
bool readControlProperty(IDispatch* control, const wchar_t* name, VARIANT* out);
bool writeControlProperty(IDispatch* control, const wchar_t* name, const VARIANT& value);

// The control's GetVariable and SetVariable with UTF-16 texts.
std::optional<std::u16string> getMovieVariable(IDispatch* control, std::u16string_view name);
bool setMovieVariable(IDispatch* control, std::u16string_view name, std::u16string_view value);

}  // namespace vorlo::flash
