#include "search/search_query.h"

namespace {

// Bytes that a link cannot carry as they are: controls, space, DEL, bytes
// above 126, and the characters that end or restructure a link. "+" and "/"
// stay as typed.
bool needsEscape(unsigned char byte, std::string_view alsoEscaped) {
  constexpr std::string_view kReserved = "\"#%&<>\\^`{|}";
  return byte <= 0x20 || byte >= 0x7F ||
         kReserved.find(static_cast<char>(byte)) != kReserved.npos ||
         alsoEscaped.find(static_cast<char>(byte)) != alsoEscaped.npos;
}

// Appends `bytes` escaped, stopping before a piece that would take `out`
// past `limit` characters.
void appendEscaped(std::string& out, std::string_view bytes, std::string_view alsoEscaped,
                   std::size_t limit) {
  constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    auto byte = static_cast<unsigned char>(c);
    bool escape = needsEscape(byte, alsoEscaped);
    if (out.size() + (escape ? 3 : 1) > limit) return;
    if (escape) {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    } else {
      out += c;
    }
  }
}

}  // namespace

NormalisedQuery normaliseQuery(std::string_view query) {
  NormalisedQuery forms;
  forms.plusForm.reserve(query.size());
  forms.underscoreForm.reserve(query.size());
  // A run of spaces emits one separator, but only once a word follows it and
  // only when a word stood before it.
  bool pendingSeparator = false;
  for (char c : query) {
    if (c == ' ') {
      pendingSeparator = !forms.plusForm.empty();
      continue;
    }
    if (pendingSeparator) {
      forms.plusForm += '+';
      forms.underscoreForm += '_';
      pendingSeparator = false;
    }
    forms.plusForm += c;
    forms.underscoreForm += c;
  }
  return forms;
}

std::string searchRequestUrl(std::string_view base, const NormalisedQuery& query) {
  constexpr std::string_view kPath = "/?location=";
  std::string url;
  url.reserve(base.size() + kPath.size() + 3 * query.plusForm.size());
  url += base;
  url += kPath;
  appendEscaped(url, query.plusForm, {}, std::string::npos);
  return url;
}

std::string directHitLink(std::string_view underscoreForm) {
  std::string link = "/";
  appendEscaped(link, underscoreForm, "?", kMaxLinkLength);
  return link;
}
