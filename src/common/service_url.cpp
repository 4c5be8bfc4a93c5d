#include "common/service_url.h"

#include "common/bytes.h"

#include <string>

namespace {

std::string baseUrlInForce(kServiceBaseUrl);

bool isAsciiAlnum(char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
         (byte >= '0' && byte <= '9');
}

// Takes the leading run of bytes that `accepted` allows off `text`; returns
// how many there were.
template <typename Accepted>
std::size_t takeRun(std::string_view& text, Accepted accepted) {
  std::size_t length = 0;
  while (length < text.size() && accepted(text[length])) ++length;
  text.remove_prefix(length);
  return length;
}

}  // namespace

bool isServiceBaseUrl(std::string_view url) {
  if (url.size() > kServiceBaseUrlMax) return false;
  std::string_view rest = url;
  if (!takePrefix(rest, "http://") && !takePrefix(rest, "https://")) return false;

  if (takePrefix(rest, "[")) {
    auto ipv6 = [](char byte) { return isAsciiAlnum(byte) || byte == ':' || byte == '.'; };
    if (takeRun(rest, ipv6) == 0 || !takePrefix(rest, "]")) return false;
  } else {
    auto hostByte = [](char byte) { return isAsciiAlnum(byte) || byte == '.' || byte == '-'; };
    if (takeRun(rest, hostByte) == 0) return false;
  }
  if (takePrefix(rest, ":")) {
    std::size_t digits = takeRun(rest, [](char byte) { return byte >= '0' && byte <= '9'; });
    if (digits == 0 || digits > 5) return false;
  }
  if (rest.empty()) return true;
  if (rest[0] != '/' || rest.back() == '/') return false;
  auto pathByte = [](char byte) {
    return isAsciiAlnum(byte) || byte == '/' || byte == '.' || byte == '-' || byte == '_' ||
           byte == '~';
  };
  takeRun(rest, pathByte);
  return rest.empty();
}

std::string_view serviceBaseUrl() { return baseUrlInForce; }

bool useServiceBaseUrl(std::string_view url) {
  if (!isServiceBaseUrl(url)) return false;
  baseUrlInForce = url;
  return true;
}
