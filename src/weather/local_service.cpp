#include "weather/local_service.h"

#include "common/bytes.h"
#include "common/service_url.h"

std::optional<int> localServicePort(std::string_view baseUrl, std::string_view defaultUrl) {
  if (baseUrl != defaultUrl) return std::nullopt;
  std::string_view rest = baseUrl;
  if (!takePrefix(rest, "http://")) return std::nullopt;
  if (!takePrefix(rest, "127.0.0.1") && !takePrefix(rest, "localhost")) return std::nullopt;
  if (rest.empty()) return 80;
  if (!takePrefix(rest, ":") || rest.empty() || rest.size() > 5) return std::nullopt;
  int port = 0;
  for (char digit : rest) {
    if (digit < '0' || digit > '9') return std::nullopt;
    port = port * 10 + (digit - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  return port;
}

bool isOpenMeteoKey(std::string_view key) {
  if (key.empty() || key.size() > 128) return false;
  for (char c : key) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~';
    if (!plain) return false;
  }
  return true;
}

std::string quoteArgument(std::string_view argument) {
  std::string quoted = "\"";
  std::size_t backslashes = 0;
  for (char c : argument) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double before a quote, and the quote is escaped.
    quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    quoted += c;
  }
  // Before the closing quote, too.
  quoted.append(backslashes * 2, '\\');
  return quoted + "\"";
}

std::string serviceCommandLine(std::string_view program, int port, std::string_view openMeteoUrl,
                               std::string_view openMeteoKey, std::string_view nwsUrl,
                               std::string_view ecccUrl) {
  std::string line = quoteArgument(program) + " --listen 127.0.0.1:" + std::to_string(port) +
                     " --local-only --places world --weather open-meteo --threads 8";
  if (isServiceBaseUrl(openMeteoUrl)) line += " --open-meteo-url " + quoteArgument(openMeteoUrl);
  if (isOpenMeteoKey(openMeteoKey)) line += " --open-meteo-key " + quoteArgument(openMeteoKey);
  if (isServiceBaseUrl(nwsUrl)) line += " --nws-url " + quoteArgument(nwsUrl);
  if (isServiceBaseUrl(ecccUrl)) line += " --eccc-url " + quoteArgument(ecccUrl);
  return line;
}

bool serviceStartDue(std::uint32_t nowMs, std::optional<std::uint32_t> lastStartMs) {
  return !lastStartMs || nowMs - *lastStartMs >= kServiceRestartMs;
}
