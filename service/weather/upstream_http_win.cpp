// The upstream call on Windows: WinHTTP, so the system's TLS and its
// certificate store check the server; no OpenSSL in the program. Same limits
// as the call on Linux.

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>

#include "service/weather/upstream_http.h"

namespace {

std::wstring wide(std::string_view text) {
  if (text.empty()) return {};
  int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0);
  std::wstring out(std::size_t(std::max(length, 0)), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), int(text.size()), out.data(), length);
  return out;
}

struct InternetCloser {
  void operator()(void* handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<void, InternetCloser>;

std::string lastError(const char* step) {
  return std::string("no answer: ") + step + " failed (" + std::to_string(GetLastError()) + ")";
}

// A header of the answer as sent (ASCII), or empty when absent.
std::string headerOf(HINTERNET request, DWORD which) {
  wchar_t value[256];
  DWORD size = sizeof value;
  if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, value, &size,
                           WINHTTP_NO_HEADER_INDEX))
    return {};
  std::string text;
  for (DWORD i = 0; i < size / sizeof(wchar_t); ++i) text += value[i] < 0x80 ? char(value[i]) : '?';
  return text;
}

}  // namespace

struct UpstreamHttp::Connections {
  std::wstring host;
  INTERNET_PORT port = 0;
  bool secure = false;
  UpstreamTimeouts timeouts;
  Handle session;  // WinHTTP keeps its connections alive in it
};

UpstreamHttp::UpstreamHttp(std::string origin, std::string userAgent, UpstreamTimeouts timeouts)
    : connections_(std::make_unique<Connections>()) {
  connections_->timeouts = timeouts;
  std::wstring url = wide(origin);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = DWORD(-1);
  if (url.empty() || !WinHttpCrackUrl(url.c_str(), DWORD(url.size()), 0, &parts)) return;
  connections_->host.assign(parts.lpszHostName, parts.dwHostNameLength);
  connections_->port = parts.nPort;
  connections_->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  std::wstring agent = wide(userAgent);
  connections_->session.reset(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                          WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
}

UpstreamHttp::~UpstreamHttp() = default;

UpstreamAnswer UpstreamHttp::get(const std::string& target, const char* accept,
                                 std::size_t maxBytes) {
  const Connections& c = *connections_;
  UpstreamAnswer answer;
  auto fail = [&answer](std::string why) {
    answer.failure = std::move(why);
    answer.body.clear();
    return answer;
  };
  if (c.host.empty()) return fail("no upstream address");
  if (!c.session) return fail(lastError("WinHttpOpen"));

  Handle connection(WinHttpConnect(c.session.get(), c.host.c_str(), c.port, 0));
  if (!connection) return fail(lastError("WinHttpConnect"));
  std::wstring path = wide(target);
  // The target is escaped already; certificates are checked (no flag turns
  // that off), redirects are not followed.
  Handle request(WinHttpOpenRequest(connection.get(), L"GET", path.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    (c.secure ? WINHTTP_FLAG_SECURE : 0) |
                                        WINHTTP_FLAG_ESCAPE_DISABLE |
                                        WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
  if (!request) return fail(lastError("WinHttpOpenRequest"));
  DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
  WinHttpSetTimeouts(request.get(), c.timeouts.connectTimeoutMs, c.timeouts.connectTimeoutMs,
                     c.timeouts.readTimeoutMs, c.timeouts.readTimeoutMs);

  // WinHTTP's own timeouts are not always kept (under Wine, a server that
  // waits before answering holds the call past them), so the whole call is
  // held to a connect and a read at most, within the deadline.
  int wholeMs =
      std::min(c.timeouts.deadlineMs, c.timeouts.connectTimeoutMs + c.timeouts.readTimeoutMs);
  auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(1, wholeMs));
  std::wstring headers = L"Accept: " + wide(accept) + L"\r\n";
  if (!WinHttpSendRequest(request.get(), headers.c_str(), DWORD(-1), WINHTTP_NO_REQUEST_DATA, 0, 0,
                          0))
    return fail(lastError("WinHttpSendRequest"));
  if (!WinHttpReceiveResponse(request.get(), nullptr))
    return fail(lastError("WinHttpReceiveResponse"));
  if (std::chrono::steady_clock::now() > deadline) return fail("answer too slow");
  DWORD status = 0, size = sizeof status;
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return fail(lastError("WinHttpQueryHeaders"));

  // Each read waits at most the read timeout; a server that trickles its
  // answer is cut off at the whole deadline too.
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &got))
      return fail(lastError("WinHttpReadData"));
    if (got == 0) break;
    if (answer.body.size() + got > maxBytes || std::chrono::steady_clock::now() > deadline)
      return fail("answer too large or too slow");
    answer.body.append(buffer, got);
  }
  answer.status = int(status);
  answer.retryAfter = headerOf(request.get(), WINHTTP_QUERY_RETRY_AFTER);
  answer.cacheControl = headerOf(request.get(), WINHTTP_QUERY_CACHE_CONTROL);
  answer.expires = headerOf(request.get(), WINHTTP_QUERY_EXPIRES);
  return answer;
}
