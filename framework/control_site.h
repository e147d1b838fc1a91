// The control container: hosts one OLE control in a window as the framework's control sites do.
// It is the control's client site and in-place site, answers its ambient properties and receives
// its events through the default source interface. The projector's movie player and scripts'
// ActiveX controls both live in one of these.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <vector>

namespace vorlo::fw {

class ControlSite {
 public:
  // An event: its dispatch number and its arguments in the caller's order (as strings; the events
  // hosted so far carry text).
  using EventHandler = std::function<void(DISPID id, const std::vector<std::wstring>& args)>;

  ControlSite();
  ~ControlSite();
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;

  // Creates the control from its class factory and activates it in place as child `id` of `parent`
  // at `rect`. On failure nothing is kept and the result says why.
  HRESULT create(IClassFactory* factory, HWND parent, int id, const RECT& rect);
  // Connects `handler` to the control's default source interface (from its class information).
  bool connectEvents(EventHandler handler);
  // Releases the control: events disconnected, deactivated, closed.
  void destroy();

  bool active() const { return object_ != nullptr; }
  IDispatch* dispatch() const { return dispatch_; }
  IOleObject* object() const { return object_; }
  HWND controlWindow() const { return controlWindow_; }
  void move(const RECT& rect);

 private:
  class Site;
  class Sink;
  Site* site_ = nullptr;
  Sink* sink_ = nullptr;
  IOleObject* object_ = nullptr;
  IDispatch* dispatch_ = nullptr;
  IConnectionPoint* point_ = nullptr;
  DWORD cookie_ = 0;
  HWND parent_ = nullptr, controlWindow_ = nullptr;
  RECT rect_{};
};

// Automation calls by name: a property read, a property write and a method call. A name the
// object does not know, or a call it refuses, is the failed result.
HRESULT getProperty(IDispatch* object, const wchar_t* name, VARIANT* result);
HRESULT putProperty(IDispatch* object, const wchar_t* name, const VARIANT& value);
HRESULT callMethod(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result = nullptr);

}  // namespace vorlo::fw
