#include "host/net/inet_http.h"

#include <winsock2.h>
#include <windows.h>
#include <wininet.h>

#include <vector>

#include "host/net/winsock.h"

namespace vorlo::net {
namespace {

constexpr char kAgent[] = "Mozilla/4.0 (compatible; MSIE 5.00; Windows 98)";
// Large blocks keep a big download quick; every block is reported.
constexpr DWORD kBlock = 64 * 1024;

struct Handle {
  HINTERNET h = nullptr;
  explicit Handle(HINTERNET handle) : h(handle) {}
  ~Handle() {
    if (h) InternetCloseHandle(h);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  explicit operator bool() const { return h != nullptr; }
};

std::string canonical(const std::string& url) {
  std::vector<char> buffer(2084);
  DWORD size = static_cast<DWORD>(buffer.size());
  if (InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &size, ICU_BROWSER_MODE)) return std::string(buffer.data(), size);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > 0x100000) return url;
  buffer.resize(size + 1);
  size = static_cast<DWORD>(buffer.size());
  return InternetCanonicalizeUrlA(url.c_str(), buffer.data(), &size, ICU_BROWSER_MODE) ? std::string(buffer.data(), size) : url;
}

std::optional<std::string> queryText(HINTERNET request, DWORD what, const std::string& name = {}) {
  std::vector<char> buffer(name.size() + 1 > 256 ? name.size() + 1 : 256);
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (what == HTTP_QUERY_CUSTOM) {
      std::fill(buffer.begin(), buffer.end(), '\0');
      std::copy(name.begin(), name.end(), buffer.begin());
    }
    DWORD size = static_cast<DWORD>(buffer.size());
    DWORD index = 0;
    if (HttpQueryInfoA(request, what, buffer.data(), &size, &index)) return std::string(buffer.data(), size);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > 0x100000) return std::nullopt;
    buffer.resize(size + 1 > name.size() + 1 ? size + 1 : name.size() + 1);
  }
  return std::nullopt;
}

}  // namespace

double utcMilliseconds(int year, int month, int day, int hour, int minute, int second, int ms) {
  // Days from the civil date (proleptic Gregorian).
  int64_t y = year - (month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days = era * 146097 + doe - 719468;
  return static_cast<double>(((days * 24 + hour) * 60 + minute) * 60 + second) * 1000.0 + ms;
}

bool httpDownload(const std::string& url, const std::wstring& file, const DownloadEvent& event) {
  auto failed = [&](const std::string& why) {
    if (event) event(0, why);
    return false;
  };
  Handle session(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return failed(socketErrorText(GetLastError()));
  Handle source(InternetOpenUrlA(session.h, canonical(url).c_str(), nullptr, 0,
                                 INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0));
  if (!source) return failed(socketErrorText(GetLastError()));
  DWORD status = 0, size = sizeof status, index = 0;
  if (HttpQueryInfoA(source.h, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &index) && status >= 400)
    return failed("HTTP " + std::to_string(status));
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  std::vector<char> block(kBlock);
  uint64_t total = 0;
  bool ok = false;
  for (;;) {
    DWORD got = 0;
    if (!InternetReadFile(source.h, block.data(), kBlock, &got)) break;  // a failed read is a failure
    if (got == 0) {
      ok = true;
      break;
    }
    DWORD put = 0;
    if (!WriteFile(out, block.data(), got, &put, nullptr) || put != got) break;
    total += got;
    if (event && !event(1, std::to_string(total))) break;
  }
  CloseHandle(out);
  return ok;
}

HttpAnswer httpQuery(const std::string& url, HttpQuery what, const std::string& header) {
  HttpAnswer answer;
  std::string full = canonical(url);
  char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = {}, scheme[32] = {};
  std::vector<char> path(full.size() + 2), extra(full.size() + 2);
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszScheme = scheme;
  parts.dwSchemeLength = sizeof scheme;
  parts.lpszUrlPath = path.data();
  parts.dwUrlPathLength = static_cast<DWORD>(path.size());
  parts.lpszExtraInfo = extra.data();
  parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
  // Escapes stay as they are: a decoded %3F, %2F, %25 or %23 would name another resource.
  if (!InternetCrackUrlA(full.c_str(), 0, 0, &parts)) return answer;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return answer;
  std::string object = std::string(path.data()) + extra.data();
  Handle session(InternetOpenA(kAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!session) return answer;
  Handle connection(InternetConnectA(session.h, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) return answer;
  const char* accept[] = {"*/*", nullptr};
  DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_KEEP_CONNECTION |
                (parts.nScheme == INTERNET_SCHEME_HTTPS ? INTERNET_FLAG_SECURE : 0);
  Handle request(HttpOpenRequestA(connection.h, nullptr, object.c_str(), nullptr, nullptr, accept, flags, 0));
  if (!request || !HttpSendRequestA(request.h, nullptr, 0, nullptr, 0)) return answer;
  switch (what) {
    case HttpQuery::Size:
    case HttpQuery::Status: {
      std::optional<std::string> text = queryText(request.h, what == HttpQuery::Size ? HTTP_QUERY_CONTENT_LENGTH : HTTP_QUERY_STATUS_CODE);
      if (!text || text->empty() || text->size() > 18 || text->find_first_not_of("0123456789") != std::string::npos) break;
      answer.number = std::stoll(*text);
      break;
    }
    case HttpQuery::LastModified: {
      SYSTEMTIME t{};
      DWORD size = sizeof t, index = 0;
      if (HttpQueryInfoA(request.h, HTTP_QUERY_LAST_MODIFIED | HTTP_QUERY_FLAG_SYSTEMTIME, &t, &size, &index))
        answer.time = utcMilliseconds(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
      break;
    }
    case HttpQuery::Header:
      answer.text = queryText(request.h, HTTP_QUERY_CUSTOM, header);
      break;
  }
  return answer;
}

}  // namespace vorlo::net
