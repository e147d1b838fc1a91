// The control's automation surface as data: one row per property or method with its dispatch
// number, its name and the functions that read, write or call it. IDispatch answers from this table.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <span>
#include <string>

#include "player_control/movie_control.h"

namespace vorlo::control {

// One automation call: its arguments in the caller's order and the place for its result.
class Call {
 public:
  Call(MovieControl& model, const DISPPARAMS* params, VARIANT* result) : model(model), params_(params), result_(result) {}
  MovieControl& model;

  unsigned count() const { return params_ ? params_->cArgs : 0; }
  // Arguments by position (0 first); a missing or unconvertible one gives the neutral value.
  std::string text(unsigned i) const;
  long integer(unsigned i) const;
  double number(unsigned i) const;
  bool flag(unsigned i) const;
  bool has(unsigned i) const { return i < count(); }

  void answer(long value);
  void answer(bool value);
  void answer(double value);
  void answer(const std::string& utf8);
  const VARIANT* result() const { return result_; }

  // Set by a member that could not do what was asked (the caller keeps its neutral result).
  HRESULT status = S_OK;

 private:
  const VARIANT* arg(unsigned i) const;
  const DISPPARAMS* params_;
  VARIANT* result_;
};

using MemberFunction = void (*)(Call&);

struct Member {
  DISPID id;
  const wchar_t* name;
  MemberFunction get = nullptr;     // property read
  MemberFunction put = nullptr;     // property write (the value is argument 0)
  MemberFunction method = nullptr;  // method call
  unsigned minArgs = 0;             // a method called with fewer is refused
};

std::span<const Member> members();
const Member* memberById(DISPID id);
const Member* memberByName(const wchar_t* name);

// Text of a variant for the call log.
std::string variantText(const VARIANT& v);

}  // namespace vorlo::control
