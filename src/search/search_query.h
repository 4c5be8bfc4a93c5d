#pragma once
// The two forms of a search query and the links formed from them.

#include <cstddef>
#include <string>
#include <string_view>

struct NormalisedQuery {
  std::string plusForm;        // words joined with "+"
  std::string underscoreForm;  // words joined with "_"
};

// Splits the query at spaces (byte 32 only), drops the empty pieces and joins
// the rest with "+" and with "_". Every other byte is kept as it is.
NormalisedQuery normaliseQuery(std::string_view query);

// `base` + "/?location=" + the plus form, with the bytes that would change the
// link's meaning or make it invalid written as %XX. The "+" between words and
// any "+" the user typed are kept. Nothing is cut: a long query gives a long
// link.
std::string searchRequestUrl(std::string_view base, const NormalisedQuery& query);

// The link of a direct hit, relative to the service: "/" + the underscore
// form, escaped as the request link is and "?" too (in a path it would start
// a query). Kept to at most kMaxLinkLength characters, never splitting an
// escape.
inline constexpr std::size_t kMaxLinkLength = 255;
std::string directHitLink(std::string_view underscoreForm);
