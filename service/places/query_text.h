#pragma once
// Owns the reading of text as it arrives: queries in links, match keys, and
// the fields and numbers of the data files.

#include <charconv>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Lowercase ASCII letters and digits; every run of anything else becomes one
// space, trimmed. "St. Louis, MO" and "st_louis+mo" both give "st louis mo".
std::string matchKey(std::string_view text);

// Decodes a query as it arrives in a link: percent escapes, and '+' and '_'
// as spaces. A '%' without two hex digits stays as it is.
std::string decodeQuery(std::string_view raw);

// The pieces of `text` between separators; one piece when there is none.
std::vector<std::string_view> splitFields(std::string_view text, char separator);

// A whole number or decimal that fills `text` exactly.
template <typename Number>
bool parseNumber(std::string_view text, Number& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

// A whole file's bytes; nullopt when it cannot be read.
std::optional<std::string> readFile(const std::string& path);
