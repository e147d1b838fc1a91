// The control as a registerable in-process server: the class object, unloading, and the registry
// entries regsvr32 writes and removes (the class, its control keys, the program id and the type
// library).
#include <windows.h>
#include <olectl.h>

#include <string>

#include "player_control/control_object.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr wchar_t kClassKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kProgId[] = L"ShockwaveFlash.ShockwaveFlash";
constexpr wchar_t kTypeLibId[] = L"{D27CDB6B-AE6D-11CF-96B8-444553540000}";
constexpr wchar_t kTypeLibSuffix[] = L"\\2";

bool setValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS s = RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             DWORD((value.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(k);
  return s == ERROR_SUCCESS;
}

std::wstring modulePath() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(path, n) : std::wstring();
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  try {
    return vorlo::control::getControlClassObject(clsid, iid, out);
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllCanUnloadNow() { return vorlo::control::moduleInUse() ? S_FALSE : S_OK; }

STDAPI DllRegisterServer() {
  try {
    std::wstring path = modulePath();
    if (path.empty()) return SELFREG_E_CLASS;
    std::wstring cls = kClassKey;
    bool ok = setValue(cls, nullptr, L"Vorlo movie player control") &&
              setValue(cls + L"\\InProcServer32", nullptr, path) &&
              setValue(cls + L"\\InProcServer32", L"ThreadingModel", L"Apartment") &&
              setValue(cls + L"\\ProgID", nullptr, std::wstring(kProgId) + L".8") &&
              setValue(cls + L"\\VersionIndependentProgID", nullptr, kProgId) &&
              setValue(cls + L"\\TypeLib", nullptr, kTypeLibId) && setValue(cls + L"\\Version", nullptr, L"1.0") &&
              setValue(cls + L"\\Control", nullptr, L"") &&
              setValue(cls + L"\\MiscStatus", nullptr, L"0") &&
              setValue(kProgId, nullptr, L"Vorlo movie player control") &&
              setValue(std::wstring(kProgId) + L"\\CLSID", nullptr, L"{D27CDB6E-AE6D-11CF-96B8-444553540000}") &&
              setValue(std::wstring(kProgId) + L"\\CurVer", nullptr, std::wstring(kProgId) + L".8");
    if (!ok) return SELFREG_E_CLASS;
    ITypeLib* lib = nullptr;
    std::wstring libPath = path + kTypeLibSuffix;
    if (FAILED(LoadTypeLibEx(libPath.c_str(), REGKIND_NONE, &lib))) return SELFREG_E_TYPELIB;
    HRESULT hr = RegisterTypeLib(lib, const_cast<OLECHAR*>(path.c_str()), nullptr);
    lib->Release();
    return SUCCEEDED(hr) ? S_OK : SELFREG_E_TYPELIB;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

STDAPI DllUnregisterServer() {
  try {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    GUID lib{0xD27CDB6B, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    UnRegisterTypeLib(lib, 1, 0, LOCALE_NEUTRAL, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    return S_OK;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // extern "C"
