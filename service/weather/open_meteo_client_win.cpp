// The upstream client on Windows: WinHTTP, so the system's TLS and its
// certificate store check the forecast server; no OpenSSL in the program.
// Same interface and limits as the client on Linux.

// httplib.h first: it brings winsock2.h, which must come before windows.h.
#include <httplib.h>  // the pool's type in the shared header; unused here
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <memory>
#include <tuple>

#include "service/weather/open_meteo_client.h"

namespace {

UpstreamResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

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

}  // namespace

OpenMeteoClient::OpenMeteoClient(UpstreamConfig config) : config_(std::move(config)) {
  auto parts = splitBaseUrl(config_.baseUrl);
  if (parts) std::tie(origin_, basePath_) = *parts;
}

OpenMeteoClient::~OpenMeteoClient() = default;

UpstreamResult OpenMeteoClient::fetch(double latitude, double longitude) {
  if (origin_.empty()) return failure("no upstream address");
  // One session for the process: WinHTTP keeps its connections alive in it.
  static Handle session = [this] {
    std::wstring agent = wide(config_.userAgent);
    return Handle(WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                              WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  }();
  if (!session) return failure(lastError("WinHttpOpen"));

  std::wstring origin = wide(origin_);
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = DWORD(-1);
  if (!WinHttpCrackUrl(origin.c_str(), DWORD(origin.size()), 0, &parts))
    return failure(lastError("WinHttpCrackUrl"));
  std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
  bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

  Handle connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
  if (!connection) return failure(lastError("WinHttpConnect"));
  std::wstring target = wide(basePath_ + forecastTarget(latitude, longitude, config_.apiKey));
  // The target is escaped already; certificates are checked (no flag turns
  // that off), redirects are not followed.
  Handle request(WinHttpOpenRequest(connection.get(), L"GET", target.c_str(), nullptr,
                                    WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                    (secure ? WINHTTP_FLAG_SECURE : 0) |
                                        WINHTTP_FLAG_ESCAPE_DISABLE |
                                        WINHTTP_FLAG_ESCAPE_DISABLE_QUERY));
  if (!request) return failure(lastError("WinHttpOpenRequest"));
  DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof noRedirects);
  WinHttpSetTimeouts(request.get(), config_.connectTimeoutMs, config_.connectTimeoutMs,
                     config_.readTimeoutMs, config_.readTimeoutMs);

  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(config_.connectTimeoutMs + config_.readTimeoutMs);
  const wchar_t* headers = L"Accept: application/json\r\n";
  if (!WinHttpSendRequest(request.get(), headers, DWORD(-1), WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
    return failure(lastError("WinHttpSendRequest"));
  if (!WinHttpReceiveResponse(request.get(), nullptr))
    return failure(lastError("WinHttpReceiveResponse"));
  DWORD status = 0, size = sizeof status;
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return failure(lastError("WinHttpQueryHeaders"));

  // Each read waits at most the read timeout; a server that trickles its
  // answer is cut off at the whole deadline too.
  std::string body;
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!WinHttpReadData(request.get(), buffer, sizeof buffer, &got))
      return failure(lastError("WinHttpReadData"));
    if (got == 0) break;
    if (body.size() + got > kMaxForecastBytes || std::chrono::steady_clock::now() > deadline)
      return failure("answer too large or too slow");
    body.append(buffer, got);
  }
  return parseForecast(int(status), body);
}
