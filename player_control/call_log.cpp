#include "player_control/call_log.h"

#include <windows.h>

#include <cstdio>

#include "util/text.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vorlo::control {
namespace {

struct CallLog {
  std::FILE* file = nullptr;
  std::string module;

  CallLog() {
    wchar_t path[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"VORLO_CONTROL_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    file = _wfopen(path, L"ab");
    wchar_t self[MAX_PATH];
    DWORD m = GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), self, MAX_PATH);
    module = fromWide(std::wstring_view(self, m < MAX_PATH ? m : 0));
  }
  ~CallLog() {
    if (file) std::fclose(file);
  }
};

CallLog& theLog() {
  static CallLog log;
  return log;
}

}  // namespace

bool callLogEnabled() { return theLog().file != nullptr; }

void logCall(const std::string& line) {
  CallLog& log = theLog();
  if (!log.file) return;
  std::string text = log.module + "|" + line + "\r\n";
  std::fwrite(text.data(), 1, text.size(), log.file);
  std::fflush(log.file);
}

}  // namespace vorlo::control
