// What an ActiveXObject holds, and its event plumbing: the class-wide cache of event interfaces, the
// event sink connected to the object's source interfaces and the property-notify sink.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "engine/value.h"
#include "host/com/com_holders.h"
#include "host/com/dispatch_call.h"

namespace vorlo {
struct NativeObject;
struct ScriptVM;
}  // namespace vorlo

namespace vorlo::com {

// One event of a source interface. `byRef` lists the positions of its out parameters counted from the
// last parameter (0 = last), in declaration order.
struct EventInfo {
  std::wstring name;
  DISPID id = 0;
  std::vector<int> byRef;
};

// The events of the source interfaces met so far, shared by all objects of a machine: interface
// identifier -> lower-cased event name -> event.
using EventCache = std::map<std::wstring, std::map<std::wstring, EventInfo>>;

struct SourceInterface {
  IID iid;
  ComPtr<ITypeInfo> info;
};

// A script function installed for an event.
struct EventHandlerEntry {
  ScriptValue function;
  std::vector<int> byRef;
};

class EventSink;
class PropertyNotifySink;

struct Connection {
  ComPtr<IConnectionPoint> point;
  DWORD cookie = 0;
};

// An ActiveXObject's native data. The sinks point back at it without holding the script object (no
// reference cycle through COM); the finalizer cuts them loose first.
struct ActiveXData {
  ScriptVM* vm = nullptr;
  NativeObject* self = nullptr;  // the script object, for `this` in handlers
  ComPtr<IDispatch> object;
  BindingCache bindings;
  std::vector<SourceInterface> sources;
  EventSink* sink = nullptr;
  std::vector<Connection> connections;
  // Keyed by dispatch identifier, which may be negative (stock events).
  std::map<DISPID, EventHandlerEntry> handlers;
  PropertyNotifySink* notify = nullptr;
  Connection notifyConnection;
  ScriptValue onChanged, onWillChange;

  ~ActiveXData();
};

// Finds the object's source interfaces, enters their events into the cache and connects a sink.
void connectEvents(ActiveXData* data, EventCache& cache);
// The event of that name (without regard to case) among the object's source interfaces.
const EventInfo* findEvent(const ActiveXData* data, const EventCache& cache, std::wstring_view name);
// Creates and connects the property-notify sink (true when it exists afterwards), or disconnects it.
bool enablePropertyNotify(ActiveXData* data);
void disablePropertyNotify(ActiveXData* data);

// The text of an HRESULT as the system gives it (without the line end).
std::string hresultText(HRESULT hr);

}  // namespace vorlo::com
