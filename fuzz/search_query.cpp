// The query forms and the links made from them, on arbitrary query bytes.

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "search/search_query.h"
#include "common/service_url.h"

namespace {

// The query split at spaces, empty pieces dropped, joined with `separator`.
std::string splitJoin(std::string_view query, char separator) {
  std::string joined;
  std::size_t start = 0;
  while (start <= query.size()) {
    std::size_t space = query.find(' ', start);
    if (space == std::string_view::npos) space = query.size();
    if (space > start) {
      if (!joined.empty()) joined += separator;
      joined += query.substr(start, space - start);
    }
    start = space + 1;
  }
  return joined;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes a link part, failing on any byte that should have been escaped
// (those of `alsoEscaped` too) and on a malformed escape.
bool decode(std::string_view escaped, std::string_view alsoEscaped, std::string& out) {
  constexpr std::string_view kReserved = "\"#%&<>\\^`{|}";
  out.clear();
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    auto byte = static_cast<unsigned char>(escaped[i]);
    if (byte == '%') {
      if (i + 2 >= escaped.size()) return false;
      int high = hexValue(escaped[i + 1]), low = hexValue(escaped[i + 2]);
      if (high < 0 || low < 0) return false;
      out += static_cast<char>(high * 16 + low);
      i += 2;
      continue;
    }
    if (byte <= 0x20 || byte >= 0x7F || contains(kReserved, escaped.substr(i, 1)) ||
        contains(alsoEscaped, escaped.substr(i, 1))) {
      return false;
    }
    out += escaped[i];
  }
  return true;
}

std::size_t escapedLength(char c, std::string_view alsoEscaped) {
  std::string decoded;
  return decode(std::string_view(&c, 1), alsoEscaped, decoded) ? 1 : 3;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view query(reinterpret_cast<const char*>(data), size);
  NormalisedQuery forms = normaliseQuery(query);
  check(forms.plusForm == splitJoin(query, '+'), "plus form is the split-join");
  check(forms.underscoreForm == splitJoin(query, '_'), "underscore form is the split-join");
  check(!contains(forms.plusForm, " ") && !contains(forms.underscoreForm, " "), "no space");

  std::string url = searchRequestUrl(kServiceBaseUrl, forms);
  const std::string prefix = std::string(kServiceBaseUrl) + "/?location=";
  check(url.compare(0, prefix.size(), prefix) == 0, "request link starts with base and path");
  std::string decoded;
  check(decode(std::string_view(url).substr(prefix.size()), "", decoded),
        "request link holds no byte that must be escaped");
  check(decoded == forms.plusForm, "request link decodes to the plus form");

  std::string link = directHitLink(forms.underscoreForm);
  check(link.size() <= kMaxLinkLength && !link.empty() && link[0] == '/', "direct link shape");
  check(decode(std::string_view(link).substr(1), "?", decoded),
        "direct link holds no byte that must be escaped");
  std::string_view full = forms.underscoreForm;
  check(full.substr(0, decoded.size()) == decoded, "direct link decodes to a prefix of the form");
  if (decoded.size() < full.size()) {
    check(link.size() + escapedLength(full[decoded.size()], "?") > kMaxLinkLength,
          "direct link cut only where the next piece would not fit");
  }
  return 0;
}
