#include "projector/runtime/projector_app.h"

#include <winsock2.h>
#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <cstdio>

#include "projector/app_archive.h"
#include "framework/control_site.h"
#include "projector/error_report.h"
#include "projector/exceptions.h"
#include "projector/packed_block.h"
#include "projector/settings_load.h"
#include "projector/work_folder.h"
#include "projector/runtime/resource_ids.h"
#include "engine/string.h"
#include "engine/value.h"
#include "engine/embed.h"
#include "engine/image.h"
#include "engine/trace.h"
#include "host/class_list.h"
#include "util/text.h"

namespace vorlo {
namespace {

constexpr const wchar_t* kSwitches[] = {L"/AfterInstall", L"/BeforeUninst"};
constexpr const char* kInstallScripts[] = {"AfterInstall", "BeforeUninst"};

// The first argument of the command line, when there is one.
std::wstring firstArgument() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::wstring first = argv && argc > 1 ? argv[1] : L"";
  if (argv) LocalFree(argv);
  return first;
}

class OwnerWindow : public fw::Window {};

// Test hook: with VORLO_TRACE_FILE set, the trace output goes to that file (lines appended, CR LF
// ended) before any script runs, so end-to-end tests can watch scripts that have no file classes
// to write with. Without it trace output is discarded until a script opens a trace file.
std::FILE* gTestTraceFile = nullptr;

void traceToTestFile(void*, std::string_view line) {
  std::fwrite(line.data(), 1, line.size(), gTestTraceFile);
  std::fputs("\r\n", gTestTraceFile);
  std::fflush(gTestTraceFile);
}

void openTestTraceFile() {
  wchar_t path[MAX_PATH];
  DWORD n = GetEnvironmentVariableW(L"VORLO_TRACE_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH || gTestTraceFile) return;
  gTestTraceFile = _wfopen(path, L"ab");
  if (gTestTraceFile) setTraceSink(traceToTestFile, nullptr);
}

// The engine's account of a failed run: its message and, where known, the function and line.
std::string failureText(const Engine* engine) {
  std::string text;
  for (const char* p = engineMessage(engine->vm); *p; ++p) {
    if (*p != '\r') text += *p;
  }
  while (!text.empty() && text.back() == '\n') text.pop_back();
  if (text.empty()) text = "it stopped without a message";
  const std::string& where = lastErrorLocation(engine->vm);
  if (!where.empty()) text += "\n" + where;
  return text;
}

}  // namespace

ProjectorApp::ProjectorApp() : resources_(moduleResources()), scripts_(*resources_) {}

void ProjectorApp::runInstallScript(const char* name) {
  WSADATA wsa;
  WSAStartup(MAKEWORD(1, 1), &wsa);
  OleInitialize(nullptr);
  try {
    auto image = readPackedResource(*resources_, name, res::kScripts);
    // A fresh machine with the default options runs the script to completion and goes.
    Engine* engine = image ? createFullEngine() : nullptr;
    if (engine) {
      if (runImageBuffer(engine, image->data(), image->size()) != 1) {
        traceLine("The packaged script \"" + std::string(name) + "\" failed: " + failureText(engine));
      }
      destroyEngine(engine);
    }
  } catch (...) {
    // The install step runs without a window and ends the same way whatever the script does; what a
    // failed run had to say is in the trace output.
  }
  OleUninitialize();
  WSACleanup();
  installHookResult_ = 1;
}

bool ProjectorApp::readApplicationId() {
  std::optional<std::vector<uint8_t>> raw = readRawResource(*resources_, res::kAppId, res::kQuoril);
  std::optional<ApplicationId> id = raw ? verifyApplicationId(*raw) : std::nullopt;
  if (!id) {
    messageBox(L"Invalid application data", MB_ICONSTOP);
    return false;
  }
  registryKey_ = id->registryKey;
  profileName_ = id->hasProfileName ? id->profileName : fromWide(appName());
  profile_ = registryProfile(registryKey_, profileName_);
  return true;
}

// A missing record means the package has none; a damaged one has been reported and reads as missing.
void ProjectorApp::unpackMasks() {
  if (auto record = readPackedResource(*resources_, res::kMasks, res::kQuoril)) unpackMaskSet(*record, workFolder_, maskNames_);
}

void ProjectorApp::readMovieListResource() {
  if (auto record = readPackedResource(*resources_, res::kMovieList, res::kQuoril)) readMovieList(*record, movieList_);
}

HICON ProjectorApp::windowClassIcon() {
  HICON icon = nullptr;
  if (!movieList_.iconFile.empty()) {
    icon = static_cast<HICON>(LoadImageW(nullptr, toWide(movieList_.iconFile).c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  }
  if (!icon) icon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
  return icon;
}

bool ProjectorApp::createWindows() {
  const wchar_t* cls = fw::Window::registerWindowClass(windowClassIcon());
  owner_ = std::make_unique<OwnerWindow>();
  if (!owner_->create(0, cls, L"", 0, 0, 0, 0, 0, nullptr)) return false;
  ownerWindow_ = owner_->hwnd();

  frame_ = std::make_unique<MainFrame>();
  if (!frame_->create(WS_EX_APPWINDOW, cls, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, ownerWindow_)) {
    return false;
  }
  // The movie player control; the frame's creation fails without one. The status bar follows.
  if (!createFlashControl()) return false;
  accelerators_ = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
  setMainWindow(frame_->hwnd());
  // From here on, caught failures are shown to the user, those of the start-up so far first.
  setErrorSink([this](const std::string& message) { messageBox(toWide(message), MB_ICONSTOP); });
  frame_->noStartMovie = movieList_.startMovie.empty();
  return true;
}

// The window's title comes from the caption; its styles, the scale mode and the shape follow with the
// main window's behaviour.
void ProjectorApp::applyAppearance() {
  ShowWindow(frame_->hwnd(), SW_HIDE);
  SetWindowTextW(frame_->hwnd(), toWide(settings_.caption).c_str());
}

bool ProjectorApp::createFlashControl() {
  PlayerChoice choice;
  choice.scriptedPlayer = [this]() -> std::optional<std::string> {
    if (!scripts_.find("_GetFlashPlayer") || runScript("_GetFlashPlayer") != ScriptRun::Succeeded) return std::nullopt;
    const ScriptValue& result = engine_->vm->result;
    if (result.kind != KindString) return std::string();
    const ScriptString* text = result.asString();
    return utf16ToUtf8(std::u16string_view(text->chars, text->length));
  };
  // The player inside a packaged player installer is not looked for yet: such packages use the
  // built-in player.
  choice.packagedPlayer = [] { return std::string(); };
  choice.preferRegistered = preferRegisteredPlayer();
  if (frame_->flash.create(frame_->hwnd(), choice)) {
    frame_->flash.connectEvents([this](DISPID id, const std::vector<std::wstring>& args) { onControlEvent(id, args); });
    frame_->canClose = [this] {
      // A running dispatch finishes first: the close request comes back through the queue.
      if (bridge_.busy()) return false;
      bridge_.dispatchCommand(L"Vorlo_Quit", L"");
      host_.control = nullptr;
      return true;
    };
    return true;
  }
  // Without a player the program ends, unless the start-up script says to end quietly.
  bool quiet = runScript("Initialize") == ScriptRun::Succeeded && engine_->vm->result.is(KindBoolean) &&
               !engine_->vm->result.asBool();
  if (!quiet) messageBox(L"Failed to load the Adobe Flash Player!", MB_OK);
  return false;
}

// A package asks for a registered player before the built-in one with a "PLAYER" record whose first
// byte is 1.
bool ProjectorApp::preferRegisteredPlayer() const {
  std::optional<std::vector<uint8_t>> record = readRawResource(*resources_, "PLAYER", res::kQuoril);
  return record && !record->empty() && (*record)[0] == 1;
}

// The start movie: the application object's onGetMovie handler is asked first once scripts run;
// otherwise it comes from the archive. The control plays it; the frame is shown here.
std::string ProjectorApp::getStartMovie() {
  if (movieList_.startMovie.empty()) return {};
  AppArchive archive(workFolder_);
  return archive.extractFile("", movieList_.startMovie);
}

void ProjectorApp::showStartMovie() {
  HWND frame = frame_->hwnd();
  std::string movie = getStartMovie();
  if (!movie.empty()) {
    if (auto size = frame_->flash.loadMovie(movie, settings_.behaviour & 0x1)) {
      movieWidth_ = size->first;
      movieHeight_ = size->second;
      host_.movieWidth = movieWidth_;
      host_.movieHeight = movieHeight_;
    }
  }
  applyAppearance();
  ShowWindow(frame, SW_SHOW);
}

// The Vorlo_Run command: the script machine is created on the first run; the named packaged script
// runs in it. A script that cannot be used and a run that fails are reported (the trace output and
// the error report) naming the script.
ScriptRun ProjectorApp::runScript(const char* name) {
  const std::string subject = describeResource(name, res::kScripts);
  const std::vector<uint8_t>* image = scripts_.find(name);
  if (!image) {
    // The cache has reported a damaged block; a resource that is there but unreadable is no script.
    return resources_->find(res::kScripts, name) ? ScriptRun::Unusable : ScriptRun::Missing;
  }
  std::string why;
  if (!readImage(image->data(), image->size(), &why)) {
    std::string message = damagedMessage(subject, why);
    traceLine(message);
    reportError(message);
    return ScriptRun::Unusable;
  }
  if (!machine(true)) {
    reportError("The script machine for " + subject + " could not be created (out of memory)");
    return ScriptRun::Unusable;
  }
  Engine* engine = engine_;
  if (runImageBuffer(engine, image->data(), image->size()) == 1) return ScriptRun::Succeeded;
  std::string message = capitalized(subject + " failed: " + failureText(engine));
  traceLine(message);
  reportError(message);
  return ScriptRun::Failed;
}

// The projector's one script machine: made on first need with every class registered, the bridge's
// globals and what the host classes reach.
Engine* ProjectorApp::machine(bool create) {
  if (engine_ || !create) return engine_;
  engine_ = createFullEngine();
  if (!engine_) return nullptr;
  host_.mainWindow = frame_ ? frame_->hwnd() : nullptr;
  host_.workFolder = utf8ToUtf16(workFolder_);
  host_.control = control();
  host_.movie = &bridge_;
  engine_->vm->host = &host_;
  bridge_.machineCreated(engine_->vm);
  return engine_;
}

void ProjectorApp::destroyMachine() {
  Engine* engine = engine_;
  engine_ = nullptr;
  destroyEngine(engine);
}

bool ProjectorApp::runPackagedScript(const std::string& name) {
  return runScript(name.c_str()) != ScriptRun::Missing;
}

void ProjectorApp::closeFrame() {
  if (frame_) PostMessageW(frame_->hwnd(), WM_CLOSE, 0, 0);
}

std::string ProjectorApp::extractPackagedFile(const std::string& path) {
  try {
    AppArchive archive(workFolder_);
    return archive.extractFile("", path);
  } catch (...) {
    return {};  // no such packaged file
  }
}

bool ProjectorApp::onIdle(long count) {
  bool more = bridge_.onIdleRun();
  return WinApp::onIdle(count) || more;
}

// Movies the player fetched from the network do not reach the scripts.
bool ProjectorApp::movieIsLocal() {
  IDispatch* d = control();
  VARIANT v;
  VariantInit(&v);
  bool local = true;
  if (d && SUCCEEDED(fw::getProperty(d, L"Movie", &v)) && V_VT(&v) == VT_BSTR && V_BSTR(&v)) {
    std::wstring url(V_BSTR(&v), SysStringLen(V_BSTR(&v)));
    local = !(url.size() >= 7 && (_wcsnicmp(url.c_str(), L"http://", 7) == 0 || _wcsnicmp(url.c_str(), L"https://", 8) == 0));
  }
  VariantClear(&v);
  return local;
}

// The control's events: FSCommand runs a command, FlashCall is answered through SetReturnValue.
// Nothing may escape into the control.
void ProjectorApp::onControlEvent(DISPID id, const std::vector<std::wstring>& args) {
  try {
    if (!movieIsLocal()) return;
    if (id == 150 && args.size() >= 2) {
      bridge_.dispatchCommand(args[0], args[1]);
    } else if (id == 197 && !args.empty()) {
      std::wstring answer = bridge_.handleExternalCall(args[0]);
      if (IDispatch* d = control()) {
        VARIANT v;
        V_VT(&v) = VT_BSTR;
        V_BSTR(&v) = SysAllocStringLen(answer.data(), UINT(answer.size()));
        fw::callMethod(d, L"SetReturnValue", {v});
        VariantClear(&v);
      }
    }
  } catch (...) {
    traceLine("A movie command failed: out of memory");
  }
}

bool ProjectorApp::initInstance() {
  openTestTraceFile();
  // 1. Command line: the install switches run a packaged script instead of the projector.
  std::wstring first = firstArgument();
  for (size_t i = 0; i < 2; ++i) {
    if (!first.empty() && lstrcmpiW(first.c_str(), kSwitches[i]) == 0) {
      runInstallScript(kInstallScripts[i]);
      return false;
    }
  }
  installHookResult_ = 0;

  // 2. The owner-drawn menus' hook arrives with the menus.
  // 3. Windows Sockets 1.1.
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0 || LOBYTE(wsa.wVersion) != 1 || HIBYTE(wsa.wVersion) != 1) {
    messageBox(L"Failed to initialize the WIndows Socket!", 0);
    return false;
  }
  socketsStarted_ = true;
  // 4. Control containment.
  oleStarted_ = SUCCEEDED(OleInitialize(nullptr));
  // 5. The About box's hyperlink class arrives with the About box.
  // 6. The application identifier: registry key and profile name.
  if (!readApplicationId()) return false;
  // 7. No recently-used file list; HTML Help is the help type (used once help files exist).
  // 8. The work folder; without it the program cannot run. There is no main window yet, so the
  // message box that names the folder has no owner.
  try {
    workFolder_ = createWorkFolder();
  } catch (const ProjectorError& e) {
    messageBox(toWide(e.what()), MB_ICONSTOP);
    exitCode_ = 1;
    return false;
  }
  // 9. Movie list and settings start empty.
  movieList_ = MovieList{};
  settings_ = ProjectorSettings{};
  // 10. The settings: the user's saved options while they belong to this package, else the packaged ones.
  loadSettings(*resources_, *profile_, settings_);
  // 11. Window-region masks.
  unpackMasks();
  // 12. Movie list.
  readMovieListResource();
  // 13-15. Owner window and main frame.
  if (!createWindows()) return false;
  // 16. The start-up script; a boolean false result ends the program before the window is shown, and
  // so does a start-up script that cannot be used (damaged), after saying so.
  switch (runScript("Initialize")) {
    case ScriptRun::Succeeded:
      if (engine_->vm->result.is(KindBoolean) && !engine_->vm->result.asBool()) return false;
      break;
    case ScriptRun::Unusable:
      exitCode_ = 1;
      return false;
    case ScriptRun::Failed:   // reported; the window opens as the script left things
    case ScriptRun::Missing:
      break;
  }
  // 17-19. Speaker mute, menus and system keys, and the tray icon follow the settings.
  // 20. Start movie and the frame shown.
  showStartMovie();
  // 21-23. Aspect ratio, behaviour flags and the miscellaneous settings follow the settings.
  // 24.
  UpdateWindow(frame_->hwnd());
  return true;
}

int ProjectorApp::exitInstance() {
  if (installHookResult_ == 0) {
    // Quitting destroys the script machine (every finalizer runs), when the close has not already.
    destroyMachine();
    host_.control = nullptr;
    setErrorSink({});
    settings_ = ProjectorSettings{};
    movieList_ = MovieList{};
    maskNames_.clear();
    deleteWorkFolder(workFolder_);
    workFolder_.clear();
    frame_.reset();
    owner_.reset();
    ownerWindow_ = nullptr;
    if (oleStarted_) OleUninitialize();
    if (socketsStarted_) WSACleanup();
  }
  return WinApp::exitInstance();
}

}  // namespace vorlo
