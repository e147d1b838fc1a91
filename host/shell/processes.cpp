#include "host/shell/processes.h"

#include <vector>

namespace vorlo {

std::optional<PROCESS_INFORMATION> startProcess(const std::wstring& commandLine, std::optional<int> showCommand) {
  if (commandLine.size() >= kMaxCommandLine) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return std::nullopt;
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);  // CreateProcessW may write into its command line
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (showCommand) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = static_cast<WORD>(*showCommand);
  }
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
    return std::nullopt;
  return pi;
}

void waitDelivering(HANDLE process) {
  for (;;) {
    DWORD r = MsgWaitForMultipleObjects(1, &process, FALSE, INFINITE, QS_SENDMESSAGE);
    if (r != WAIT_OBJECT_0 + 1) return;  // ended, or the wait failed
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // delivers sent messages only
  }
}

std::optional<std::string> runConsole(const std::wstring& commandLine) {
  if (commandLine.size() >= kMaxCommandLine) return std::nullopt;
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  if (!CreatePipe(&readEnd, &writeEnd, &sa, 0)) return std::nullopt;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi);
  // Our copy of the write end goes now: otherwise the pipe never ends.
  CloseHandle(writeEnd);
  if (!started) {
    CloseHandle(readEnd);
    return std::nullopt;
  }
  std::string output;
  char piece[100];
  DWORD got;
  while (ReadFile(readEnd, piece, sizeof piece, &got, nullptr) && got > 0) output.append(piece, got);
  CloseHandle(readEnd);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return output;
}

namespace {

struct WindowSearch {
  DWORD thread;
  HWND found = nullptr;
};

BOOL CALLBACK takeWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  if (GetParent(window) || (GetWindowLongW(window, GWL_STYLE) & WS_POPUP)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND mainWindowOf(const PROCESS_INFORMATION& process) {
  WaitForInputIdle(process.hProcess, 10000);
  WindowSearch search{process.dwThreadId};
  EnumThreadWindows(process.dwThreadId, takeWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace vorlo
