#include "tests/e2e/harness.h"

#include <stdexcept>

#include "projector/work_folder.h"
#include "tests/probe/probe.h"
#include "tools/pack/manifest.h"
#include "tools/pack/packager.h"
#include "util/file.h"
#include "util/platform.h"

#ifndef VORLO_RUNTIME_PATH
#error "the build gives the runtime's path"
#endif

namespace vorlo::e2e {

std::string hostPath(const std::string& path) {
  if (path.size() > 1 && path[1] == ':') return path;
  std::string out = "Z:" + path;
  for (char& c : out) {
    if (c == '/') c = '\\';
  }
  return out;
}

std::string runtimePath() { return hostPath(VORLO_RUNTIME_PATH); }

namespace {
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  File f;
  if (!f.open(path, File::Mode::Create) || !f.write(bytes.data(), bytes.size())) throw std::runtime_error("cannot write " + path);
}
}  // namespace

Project::Project() {
  folder_ = temporaryFolder() + "vorlo-e2e-" + os::newGuidText() + "\\";
  if (!os::createFolder(folder_)) throw std::runtime_error("cannot create " + folder_);
  temp_ = folder_ + "tmp\\";
  os::createFolder(temp_);
}

Project::~Project() { deleteWorkFolder(folder_); }

void Project::add(const std::string& relative, const std::string& text) { add(relative, std::vector<uint8_t>(text.begin(), text.end())); }

void Project::add(const std::string& relative, const std::vector<uint8_t>& bytes) {
  std::string path = folder_;
  size_t start = 0;
  for (size_t slash; (slash = relative.find('/', start)) != std::string::npos; start = slash + 1) {
    path += relative.substr(start, slash - start) + "\\";
    os::createFolder(path);
  }
  writeFile(path + relative.substr(start), bytes);
}

std::string Project::pack(const std::string& manifest) {
  add(pack::kManifestName, manifest);
  pack::PackOptions o;
  o.runtime = runtimePath();
  o.output = folder_ + "out.exe";
  pack::buildPackage(pack::loadManifest(folder_), o);
  return o.output;
}

void editResources(const std::string& package, void (*edit)(std::vector<pe::Resource>&)) {
  File f;
  if (!f.open(package, File::Mode::Read)) throw std::runtime_error("cannot read " + package);
  std::vector<uint8_t> all(static_cast<size_t>(f.size()));
  f.readExact(all.data(), all.size());
  f.close();
  pe::PeFile pe(all);
  std::vector<uint8_t> tail(all.begin() + static_cast<long>(pe.imageEnd()), all.end());
  auto resources = pe.resources();
  edit(resources);
  std::vector<uint8_t> out = pe.withResources(resources);
  out.insert(out.end(), tail.begin(), tail.end());
  writeFile(package, out);
}

Process::~Process() {
  if (pi.hProcess) {
    if (WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
}

DWORD Process::waitExit(DWORD timeoutMs) {
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(pi.hProcess, &code);
  return code;
}

void launch(Process& p, const std::string& program, const std::wstring& arguments, const std::string& tempFolder) {
  // The current environment with TMP and TEMP pointing at the test's folder.
  std::wstring env;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* v = block; *v; v += wcslen(v) + 1) {
    if (_wcsnicmp(v, L"TMP=", 4) == 0 || _wcsnicmp(v, L"TEMP=", 5) == 0) continue;
    env += v;
    env.push_back(L'\0');
  }
  FreeEnvironmentStringsW(block);
  std::wstring temp = probe::wide(tempFolder);
  env += L"TMP=" + temp;
  env.push_back(L'\0');
  env += L"TEMP=" + temp;
  env.push_back(L'\0');
  env.push_back(L'\0');

  std::wstring exe = probe::wide(program);
  std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, env.data(),
                      nullptr, &si, &p.pi)) {
    throw std::runtime_error("cannot start " + program);
  }
}

HWND startWithWindow(Process& p, const std::string& program, const std::wstring& arguments, const std::string& tempFolder,
                     DWORD timeoutMs) {
  launch(p, program, arguments, tempFolder);
  probe::Query q;
  q.pid = p.pid();
  return probe::waitForWindow(q, timeoutMs);
}

DWORD closeAndWait(Process& p, HWND window, DWORD timeoutMs) {
  probe::closeWindow(window);
  return p.waitExit(timeoutMs);
}

std::string dismissMessageBox(const Process& p, DWORD timeoutMs) {
  probe::Query q;
  q.pid = p.pid();
  q.className = L"#32770";
  HWND box = probe::waitForWindow(q, timeoutMs);
  if (!box) return {};
  std::wstring text;
  for (const auto& c : probe::describe(box).controls) {
    if (c.className == L"Static" && !c.text.empty()) text += c.text;
  }
  probe::pressButton(box, L"OK");
  probe::waitForNoWindow(q, timeoutMs);
  return probe::utf8(text);
}

std::vector<uint8_t> maskFile() {
  std::vector<uint8_t> b(4 + 48, 0);
  auto put = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  put(0, 48);
  put(4, 32);   // header size
  put(8, 1);    // rectangles
  put(12, 1);   // one of them
  put(16, 16);  // their bytes
  put(28, 10), put(32, 10), put(44, 10), put(48, 10);
  return b;
}

std::vector<std::string> listNames(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : os::listFolder(folder)) names.push_back(e.name);
  return names;
}

}  // namespace vorlo::e2e
