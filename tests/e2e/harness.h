// End-to-end harness: builds real packages with the packager and runs them as separate processes,
// each with its own temporary folder so the test can watch the work folder come and go.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "tools/pack/pe_resources.h"

namespace vorlo::e2e {

// A Windows path for a path of the build machine (the build tree is reached through drive Z:).
std::string hostPath(const std::string& path);
// The runtime under test.
std::string runtimePath();

struct ProjectFile {
  std::string path;  // relative, "/"-separated
  std::vector<uint8_t> bytes;
};

// A scratch project folder with a manifest and files; packs into <folder>\out.exe.
class Project {
 public:
  Project();
  ~Project();
  void add(const std::string& relative, const std::string& text);
  void add(const std::string& relative, const std::vector<uint8_t>& bytes);
  // Writes vorlo.toml with the given text and builds the package; returns its path.
  std::string pack(const std::string& manifest);
  const std::string& folder() const { return folder_; }
  // A folder for the program's TMP and TEMP.
  const std::string& tempFolder() const { return temp_; }

 private:
  std::string folder_, temp_;
};

// Rewrites a package's resources (keeping its appended archive).
void editResources(const std::string& package, void (*edit)(std::vector<pe::Resource>&));

struct Process {
  PROCESS_INFORMATION pi{};
  ~Process();
  DWORD pid() const { return pi.dwProcessId; }
  // The exit code, or STILL_ACTIVE after timeoutMs.
  DWORD waitExit(DWORD timeoutMs);
};

// Starts program with the arguments and TMP/TEMP set to tempFolder.
void launch(Process& p, const std::string& program, const std::wstring& arguments, const std::string& tempFolder);

// Starts program and waits for its first visible top-level window; null when none appears in time.
HWND startWithWindow(Process& p, const std::string& program, const std::wstring& arguments, const std::string& tempFolder,
                     DWORD timeoutMs = 20000);
// Closes the window as its close button does and waits for the program to end; its exit code.
DWORD closeAndWait(Process& p, HWND window, DWORD timeoutMs = 20000);

// Waits for a message box of the process, reads its text and presses its OK button; the text (UTF-8),
// or "" when no message box appears in time.
std::string dismissMessageBox(const Process& p, DWORD timeoutMs = 20000);

// A mask file as the window shape reads it: a 4-byte size, then a region of one 10 x 10 rectangle.
std::vector<uint8_t> maskFile();

// Names in a folder (files and sub-folders), "." and ".." left out.
std::vector<std::string> listNames(const std::string& folder);

}  // namespace vorlo::e2e
