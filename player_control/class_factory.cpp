#include <new>

#include "player_control/control_object.h"

namespace vorlo::control {
namespace {

LONG gModuleUsers = 0;

class ControlFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  // One static factory: counting its references keeps the module loaded while a host holds it.
  STDMETHODIMP_(ULONG) AddRef() override {
    lockModule(true);
    return 2;
  }
  STDMETHODIMP_(ULONG) Release() override {
    lockModule(false);
    return 1;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    try {
      auto* control = new PlayerControl();
      HRESULT hr = control->QueryInterface(iid, out);
      control->Release();
      return hr;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_UNEXPECTED;
    }
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lockModule(lock != FALSE);
    return S_OK;
  }
};

ControlFactory gFactory;

}  // namespace

void lockModule(bool on) {
  if (on) InterlockedIncrement(&gModuleUsers);
  else InterlockedDecrement(&gModuleUsers);
}

bool moduleInUse() { return gModuleUsers > 0; }

HRESULT getControlClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != kControlClassId) return CLASS_E_CLASSNOTAVAILABLE;
  return gFactory.QueryInterface(iid, out);
}

}  // namespace vorlo::control
