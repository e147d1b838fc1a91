// HTTP through WinINet for Inet: a download into a file with progress, and the header queries.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace vorlo::net {

// Called with (1, bytes so far) after each block written, or (0, why) once when the URL could not
// be had; a false answer to code 1 stops the download.
using DownloadEvent = std::function<bool(int code, const std::string& text)>;

// True when the whole resource was read and written. A status of 400 or more is a failure
// ("HTTP N"), and no file is made for it.
bool httpDownload(const std::string& url, const std::wstring& file, const DownloadEvent& event);

enum class HttpQuery { Size, Status, LastModified, Header };
struct HttpAnswer {
  int64_t number = -1;       // Size, Status
  double time = 0.0;         // LastModified: milliseconds since 1970 (UTC)
  std::optional<std::string> text;  // Header
};
// One request of the URL (http and https only) and one answer from its response headers.
HttpAnswer httpQuery(const std::string& url, HttpQuery what, const std::string& header = {});

// A calendar time (UTC) as milliseconds since 1970.
double utcMilliseconds(int year, int month, int day, int hour, int minute, int second, int ms);

}  // namespace vorlo::net
