// The service's query decoding on arbitrary bytes, and the search answer for
// the decoded query.

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "service/pages/pages.h"
#include "service/places/query_text.h"
#include "service/places/sample_places.h"

namespace {

// Every byte as a percent escape, in either case of hex digit.
std::string escapeAll(std::string_view text) {
  std::string out;
  const char* digits[] = {"0123456789ABCDEF", "0123456789abcdef"};
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    out += '%';
    out += digits[i % 2][byte >> 4];
    out += digits[i % 2][byte & 15];
  }
  return out;
}

const std::vector<Place>& places() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

const PlaceSource& sample() {
  static PlaceSource source = sampleSource(places());
  return source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view raw(reinterpret_cast<const char*>(data), size);
  std::string decoded = decodeQuery(raw);
  check(decoded.size() <= raw.size(), "never longer");
  if (raw.find_first_of("%+_") == std::string_view::npos) check(decoded == raw, "plain stays");
  check(decodeQuery(escapeAll(decoded)) == decoded, "escapes decode to their bytes");

  std::string key = matchKey(decoded);
  for (char c : key)
    check((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == ' ', "key of letters, digits");
  check(key.empty() || (key.front() != ' ' && key.back() != ' '), "key trimmed");

  QueryMatch match = matchQuery(places(), decoded);
  if (key.empty()) check(!match.exact && match.matches.empty(), "an empty query matches nothing");
  Found found = sample().search(decoded);
  std::string page = match.matches.empty() ? notFoundPage(decoded, Attribution::Sample)
                                           : resultsPage(decoded, found.list, Attribution::Sample);
  check(page.ends_with("</html>\n"), "a whole page");
  return 0;
}
