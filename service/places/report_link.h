#pragma once
// The report links of world places: "/report/<lat>,<lon>/<Name_with_underscores>".
// A link carries everything its report needs, so one stored in the program's
// settings keeps working when the place data changes. Pure and free of ICU,
// so that hostile links can be fuzzed on their own.

#include <optional>
#include <string>
#include <string_view>

// The longest link the service hands out or accepts, in bytes.
constexpr std::size_t kMaxReportLinkBytes = 200;

struct ReportLink {
  std::string name;  // spaces restored
  double latitude = 0, longitude = 0;
};

// A decimal number as a link may carry it: an optional '-', 1-3 whole digits
// and optionally '.' with `minDecimals` to `maxDecimals` more; no exponent,
// '+' or spaces; nullopt beyond +-`limit`.
std::optional<double> linkDecimal(std::string_view text, double limit, std::size_t minDecimals,
                                  std::size_t maxDecimals);

// Letters, digits, space, comma, period, apostrophe, hyphen and parentheses:
// nothing the program could take for a marker, a stop character or markup.
bool isShowableName(std::string_view name);

// Maps ASCII text onto the showable characters: '&' becomes "and", anything
// else not showable a space; runs of spaces collapse, ends are trimmed.
std::string showableName(std::string_view ascii);

// The link of a place, coordinates to four decimals; a name too long for the
// link is cut, the coordinates never are. `name` must be showable.
std::string reportLink(std::string_view name, double latitude, double longitude);

// Reads a whole path as reportLink writes it ("/report/..."); nullopt when it
// does not parse, is too long, or its name holds anything but showable
// characters (spaces as '_').
std::optional<ReportLink> parseReportLink(std::string_view path);
