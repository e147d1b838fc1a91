#include "projector/runtime/flash_host.h"

#include <oleauto.h>

#include "player_control/control_object.h"
#include "util/text.h"

namespace vorlo {
namespace {

constexpr wchar_t kRegisteredServerKey[] = L"CLSID\\{D27CDB6E-AE6D-11CF-96B8-444553540000}\\InProcServer32";

bool fileExists(const std::string& path) {
  DWORD a = GetFileAttributesW(toWide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string registeredServer() {
  wchar_t path[MAX_PATH];
  LONG size = sizeof path;
  if (RegQueryValueW(HKEY_CLASSES_ROOT, kRegisteredServerKey, path, &size) != ERROR_SUCCESS) return {};
  size_t n = size_t(size) / sizeof(wchar_t);
  while (n > 0 && path[n - 1] == 0) --n;
  return fromWide(std::wstring_view(path, n));
}

VARIANT boolVariant(bool on) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = on ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT intVariant(long n) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = n;
  return v;
}

std::wstring textProperty(IDispatch* d, const wchar_t* name) {
  VARIANT v;
  VariantInit(&v);
  std::wstring out;
  if (SUCCEEDED(fw::getProperty(d, name, &v)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_BSTR)) && V_BSTR(&v)) {
    out.assign(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
  }
  VariantClear(&v);
  return out;
}

long numberProperty(IDispatch* d, const wchar_t* name) {
  VARIANT v;
  VariantInit(&v);
  long out = 0;
  if (SUCCEEDED(fw::getProperty(d, name, &v)) && SUCCEEDED(VariantChangeType(&v, &v, 0, VT_I4))) out = V_I4(&v);
  VariantClear(&v);
  return out;
}

}  // namespace

std::string programFolder() {
  wchar_t path[MAX_PATH];
  DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path, n < MAX_PATH ? n : 0);
  size_t cut = p.find_last_of(L"\\/");
  return fromWide(cut == std::wstring::npos ? L"" : p.substr(0, cut + 1));
}

std::string scriptedPlayerPath(const std::string& result, const std::string& folder) {
  if (result.empty()) return {};
  std::string path = result;
  if (path.find(':') == std::string::npos) {
    for (char& c : path)
      if (c == '/') c = '\\';
    if (path[0] == '\\') path.erase(0, 1);
    path = folder + path;
  }
  // Paths that do not fit the system's limit are no player file.
  if (path.size() >= MAX_PATH) return {};
  return fileExists(path) ? path : std::string();
}

HRESULT FlashHost::createFromFactory(IClassFactory* factory, HWND frame) {
  RECT invisible{0, 0, 0, 0};
  return site_.create(factory, frame, kFlashControlId, invisible);
}

HRESULT FlashHost::createFromFile(const std::string& path, HWND frame) {
  // The module stays loaded for the rest of the run: the control's code lives there.
  HMODULE module = LoadLibraryW(toWide(path).c_str());
  if (!module) return REGDB_E_CLASSNOTREG;
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  auto get = reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!get) return REGDB_E_CLASSNOTREG;
  IClassFactory* factory = nullptr;
  HRESULT hr = get(control::kControlClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(hr) || !factory) return FAILED(hr) ? hr : E_NOINTERFACE;
  hr = createFromFactory(factory, frame);
  factory->Release();
  return hr;
}

bool FlashHost::create(HWND frame, const PlayerChoice& choice) {
  route_ = PlayerRoute::None;
  playerFile_.clear();
  // 1-2. The package's own player: one a script names, else one inside its player installer.
  if (choice.scriptedPlayer) {
    if (std::optional<std::string> result = choice.scriptedPlayer()) playerFile_ = scriptedPlayerPath(*result, programFolder());
  }
  if (playerFile_.empty() && choice.packagedPlayer) playerFile_ = choice.packagedPlayer();
  HRESULT hr = E_FAIL;
  if (!playerFile_.empty()) {
    hr = createFromFile(playerFile_, frame);
    if (SUCCEEDED(hr)) route_ = PlayerRoute::File;
  } else {
    // 3. Our built-in player, unless the package asks for a registered one first. A registered
    // third-party player has refused to play content for years; preferring it would break packages
    // on machines that still have one.
    auto builtIn = [&] {
      IClassFactory* factory = nullptr;
      hr = control::getControlClassObject(control::kControlClassId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
      if (SUCCEEDED(hr)) {
        hr = createFromFactory(factory, frame);
        factory->Release();
      }
      if (SUCCEEDED(hr)) route_ = PlayerRoute::BuiltIn;
    };
    auto registered = [&] {
      std::string server = registeredServer();
      if (!server.empty()) {
        hr = createFromFile(server, frame);
        if (SUCCEEDED(hr)) {
          route_ = PlayerRoute::RegisteredFile;
          playerFile_ = server;
        }
        return;
      }
      IClassFactory* factory = nullptr;
      hr = CoGetClassObject(control::kControlClassId, CLSCTX_INPROC_SERVER, nullptr, IID_IClassFactory,
                            reinterpret_cast<void**>(&factory));
      if (SUCCEEDED(hr)) {
        hr = createFromFactory(factory, frame);
        factory->Release();
      }
      if (SUCCEEDED(hr)) route_ = PlayerRoute::RegisteredCom;
    };
    if (choice.preferRegistered) registered();
    if (route_ == PlayerRoute::None) builtIn();
  }
  if (route_ == PlayerRoute::None) return false;
  flash8_ = (numberProperty(control(), L"FlashVersion") >> 16) >= 8;
  return true;
}

std::optional<std::pair<int, int>> FlashHost::loadMovie(const std::string& path, bool autoPlay) {
  IDispatch* d = control();
  if (!d) return std::nullopt;
  fw::putProperty(d, L"Playing", boolVariant(autoPlay));
  std::wstring wide = toWide(path);
  VARIANT movie;
  V_VT(&movie) = VT_BSTR;
  V_BSTR(&movie) = SysAllocStringLen(wide.data(), UINT(wide.size()));
  HRESULT hr = fw::putProperty(d, L"Movie", movie);
  VariantClear(&movie);
  if (FAILED(hr)) return std::nullopt;
  std::optional<MovieHeader> header = readMovieHeader(path);
  if (!header) return std::make_pair(0, 0);
  return std::make_pair(header->right - header->left, header->bottom - header->top);
}

bool FlashHost::flashCommand(int id) {
  IDispatch* d = control();
  if (!d) return false;
  switch (id) {
    case 20042:  // Zoom In
      ++zoomCounter_;
      fw::callMethod(d, L"Zoom", {intVariant(zoomCounter_)});
      return true;
    case 20030:  // Zoom Out, only while zoomed in
      if (zoomCounter_ == 0) return true;
      --zoomCounter_;
      fw::callMethod(d, L"Zoom", {intVariant(zoomCounter_)});
      return true;
    case 20046:  // 100%
      fw::putProperty(d, L"ScaleMode", intVariant(3));
      return true;
    case 20034:  // Show All
      fw::putProperty(d, L"ScaleMode", intVariant(0));
      return true;
    case 20035:
    case 20036:
    case 20037: {
      const wchar_t* name = id == 20035 ? L"Low" : id == 20036 ? L"Medium" : L"High";
      if (textProperty(d, L"Quality2") != name) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocString(name);
        fw::putProperty(d, L"Quality2", v);
        VariantClear(&v);
      }
      return true;
    }
    case 20039:  // Play
      if (numberProperty(d, L"Playing")) fw::callMethod(d, L"StopPlay", {});
      else fw::callMethod(d, L"Play", {});
      return true;
    case 20043:  // Loop
      fw::putProperty(d, L"Loop", boolVariant(numberProperty(d, L"Loop") == 0));
      return true;
    case 20025:
      fw::callMethod(d, L"Rewind", {});
      return true;
    case 20040:
      fw::callMethod(d, L"Forward", {});
      return true;
    case 20041:
      fw::callMethod(d, L"Back", {});
      return true;
    default:
      return false;
  }
}

}  // namespace vorlo
