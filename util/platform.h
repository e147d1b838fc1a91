// The few operating-system services the portable code needs. Paths are UTF-8; on Windows they reach
// the wide (W) functions as UTF-16, so names outside the active code page work.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vorlo::os {

#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// Value of an environment variable; empty when it is unset.
std::string getEnv(const char* name);
// The Windows folder; on other systems the folder that plays its part as the last temporary folder.
std::string windowsFolder();
uint32_t tickCount();
// A new GUID in registry form: braces around groups of 8, 4, 4, 4 and 12 upper-case hex digits.
std::string newGuidText();
// Full path of the running program.
std::string executablePath();

bool isFile(const std::string& path);
bool isFolder(const std::string& path);
// A symbolic link, junction or other reparse point (not followed).
bool isLink(const std::string& path);
// The absolute form of a path, with "." and ".." resolved by name (links are not followed); the path
// as given when it cannot be made absolute.
std::string fullPath(const std::string& path);
// Moves a file to `to`, replacing a file there in one step; false when it cannot.
bool replaceFile(const std::string& from, const std::string& to);
// Creates one folder; false when it cannot be created (an existing folder also gives false).
bool createFolder(const std::string& path);
bool removeFile(const std::string& path);
// Removes an empty folder, or a link to a folder without touching what it points to.
bool removeFolder(const std::string& path);

struct FolderEntry {
  std::string name;
  bool folder = false;
  bool link = false;  // symbolic link, junction or other reparse point: never followed
};
// The entries of a folder without "." and "..". Empty when it cannot be read.
std::vector<FolderEntry> listFolder(const std::string& path);

// The calling thread's last error code (GetLastError on Windows, errno elsewhere).
uint32_t lastErrorCode();
// The system's text for an error code, at most 255 characters.
std::string errorText(uint32_t code);
// The system's text for the calling thread's last error.
inline std::string lastErrorText() { return errorText(lastErrorCode()); }

// Case folding for name comparisons (the system's own rules on Windows).
char16_t foldCase(char16_t c);

}  // namespace vorlo::os
