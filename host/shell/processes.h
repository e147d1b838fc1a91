// Starting programs for Shell: command lines of any length the system takes, waiting that keeps
// sent messages flowing, and console output through a pipe.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace vorlo {

// CreateProcessW's limit for a command line, in characters, terminator included.
inline constexpr size_t kMaxCommandLine = 32767;

// Starts a program; nullopt (with the system's error) when it cannot start or the line is too long.
std::optional<PROCESS_INFORMATION> startProcess(const std::wstring& commandLine, std::optional<int> showCommand);
// Waits for a process to end while delivering messages sent to this thread's windows, so programs
// that broadcast to every window are not blocked by us.
void waitDelivering(HANDLE process);
// Runs a command without a window and answers what it wrote to standard output and standard error.
std::optional<std::string> runConsole(const std::wstring& commandLine);
// The first visible top-level window of the process's first thread without a parent and without
// WS_POPUP, once it is idle (at most 10 seconds).
HWND mainWindowOf(const PROCESS_INFORMATION& process);

}  // namespace vorlo
