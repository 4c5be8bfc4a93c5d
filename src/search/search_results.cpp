#include "search/search_results.h"

#include <algorithm>
#include <cstring>

#include "common/bytes.h"
#include "search/search_query.h"

namespace {

struct Marker {
  std::string_view bytes;
  std::size_t anchor;  // index of an adjacent byte pair rare in ordinary markup
};

// The top header is "Top " followed by the section header, so one search
// finds both and the four bytes before a hit tell them apart.
constexpr Marker kSectionHeader{"locations &mdash;", 10};
constexpr std::string_view kTopPrefix = "Top ";
constexpr std::size_t kTopHeaderLength = 21;
// With `extended`, the next header must begin this far past the top header's
// first byte, which keeps the top header's own tail from counting.
constexpr std::size_t kNextHeaderDistance = 24;

constexpr Marker kDirectHit{"Reports and Weather For", 0};
constexpr std::size_t kDirectHitNameOffset = 29;
constexpr Marker kUnknown{"Unknown location", 2};

// The two kinds of link share "resolveLink"; the byte after it tells them
// apart, so a scan for both kinds is one search.
constexpr Marker kFirstKind{"resolveLinkSpecial", 10};
constexpr Marker kSecondKind{"resolveLink\"", 10};
constexpr Marker kEitherKind{"resolveLink", 6};
constexpr std::size_t kFirstKindLinkOffset = 26;
constexpr std::size_t kSecondKindLinkOffset = 19;

enum class Kinds { First, Second, Both };

std::size_t findByte(std::string_view page, std::size_t from, char byte) {
  if (from >= page.size()) return kNotFound;
  const void* hit = std::memchr(page.data() + from, byte, page.size() - from);
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - page.data()) : kNotFound;
}

// The bytes [begin, end) of the page, at most 255 of them. Copied whole and
// then cut: a copy whose length the compiler knows to be small is inlined as a
// slow string move.
std::string capped(std::string_view page, std::size_t begin, std::size_t end) {
  std::string text(page.substr(begin, end - begin));
  if (text.size() > 255) text.resize(255);
  return text;
}

// A name as the list, the menu, the settings file and the tooltip take it.
std::string displayName(std::string_view page, std::size_t begin, std::size_t end) {
  std::string name = capped(page, begin, end);
  blankControlBytes(name);
  return name;
}

// One entry from a link's first byte: the link up to the next double quote,
// the byte after that quote passed over unseen, the display text up to the
// next "<". Returns the position after that "<", or kNotFound, adding
// nothing, when the page ends before either stop byte. An entry whose link
// would leave the service is passed over.
std::size_t takeEntry(std::string_view page, std::size_t linkStart,
                      std::vector<SearchEntry>& entries) {
  std::size_t quote = findByte(page, linkStart, '"');
  if (quote == kNotFound) return kNotFound;
  std::size_t textStart = quote + 2;
  std::size_t less = findByte(page, textStart, '<');
  if (less == kNotFound) return kNotFound;
  std::string link = capped(page, linkStart, quote);
  if (isServiceLink(link)) entries.push_back({displayName(page, textStart, less), link});
  return less + 1;
}

// Adds an entry for every link of `kinds` from `from` to the end of the page;
// the search goes on after each entry's display text.
void scanLinks(std::string_view page, std::size_t from, Kinds kinds,
               std::vector<SearchEntry>& entries) {
  const Marker& marker = kinds == Kinds::First    ? kFirstKind
                         : kinds == Kinds::Second ? kSecondKind
                                                  : kEitherKind;
  std::size_t at;
  while ((at = findMarker(page, from, marker.bytes, marker.anchor)) != kNotFound) {
    std::size_t offset;
    if (kinds != Kinds::Second && markerAt(page, at, kFirstKind.bytes)) {
      offset = kFirstKindLinkOffset;
    } else if (kinds != Kinds::First && markerAt(page, at, kSecondKind.bytes)) {
      offset = kSecondKindLinkOffset;
    } else {
      from = at + 1;
      continue;
    }
    from = takeEntry(page, at + offset, entries);
    if (from == kNotFound) return;
  }
}

// The next occurrence of one marker. Markers are searched only up to the
// nearest occurrence of the others, and each search starts where the last
// left off, so the page is read once however the markers interleave.
struct Cursor {
  Marker marker;
  std::size_t at = kNotFound;  // first occurrence at or after the last search's start
  std::size_t clearBelow = 0;  // with `at` kNotFound: no occurrence starts below this
};

// The first occurrence at or after `from` that starts before `bound`, or
// kNotFound. `from` never decreases from one call to the next.
std::size_t nextBefore(std::string_view page, Cursor& cursor, std::size_t from, std::size_t bound) {
  std::size_t start = from;
  if (cursor.at != kNotFound) {
    if (cursor.at >= from) return cursor.at < bound ? cursor.at : kNotFound;
  } else {
    if (cursor.clearBelow >= bound) return kNotFound;
    start = std::max(from, cursor.clearBelow);
  }
  const std::size_t length = cursor.marker.bytes.size();
  std::size_t limit =
      bound >= page.size() ? page.size() : std::min(page.size(), bound + length - 1);
  cursor.at = findMarker(page.substr(0, limit), start, cursor.marker.bytes, cursor.marker.anchor);
  if (cursor.at == kNotFound) cursor.clearBelow = bound;
  return cursor.at;
}

void scanTopSection(std::string_view page, std::size_t top, SearchScan& scan) {
  if (!scan.extendedAfter) {
    scanLinks(page, top + kTopHeaderLength, Kinds::First, scan.entries);
    return;
  }
  std::size_t next =
      findMarker(page, top + kNextHeaderDistance, kSectionHeader.bytes, kSectionHeader.anchor);
  if (next != kNotFound) {
    scanLinks(page, next + kSectionHeader.bytes.size(), Kinds::Both, scan.entries);
  }
}

void scanSection(std::string_view page, std::size_t header, SearchScan& scan) {
  const std::size_t after = header + kSectionHeader.bytes.size();
  if (scan.extendedAfter) {
    scanLinks(page, after, Kinds::Both, scan.entries);
    return;
  }
  scanLinks(page, after, Kinds::First, scan.entries);
  if (scan.entries.empty()) {
    // No first-kind link: the second kind stands in, wherever it is.
    scan.extendedAfter = true;
    scanLinks(page, 0, Kinds::Second, scan.entries);
  }
}

}  // namespace

SearchScan scanSearchResults(std::string_view page, bool extended,
                             std::string_view underscoreForm) {
  SearchScan scan;
  scan.extendedAfter = extended;
  Cursor header{kSectionHeader}, direct{kDirectHit}, unknown{kUnknown};
  std::size_t from = 0;
  for (;;) {
    std::size_t headerAt = nextBefore(page, header, from, kNotFound);
    bool top = headerAt != kNotFound && headerAt >= from + kTopPrefix.size() &&
               markerAt(page, headerAt - kTopPrefix.size(), kTopPrefix);
    std::size_t headerStart = top ? headerAt - kTopPrefix.size() : headerAt;
    std::size_t hitAt = nextBefore(page, direct, from, headerStart);
    std::size_t unknownAt =
        nextBefore(page, unknown, from, hitAt != kNotFound ? hitAt : headerStart);

    if (unknownAt != kNotFound) {
      ++scan.notFoundCount;
      from = unknownAt + 1;
    } else if (hitAt != kNotFound) {
      std::size_t nameStart = hitAt + kDirectHitNameOffset;
      if (nameStart >= page.size() || page[nameStart] == '<') {
        from = hitAt + 1;  // no name: not a report page after all
        continue;
      }
      std::size_t less = findByte(page, nameStart, '<');
      if (less == kNotFound) return scan;  // name cut off by the end of the page
      scan.entries.push_back({displayName(page, nameStart, less), directHitLink(underscoreForm)});
      scan.outcome = ScanOutcome::DirectHit;
      return scan;
    } else if (headerAt != kNotFound) {
      if (top) {
        scanTopSection(page, headerStart, scan);
      } else {
        scanSection(page, headerAt, scan);
      }
      scan.outcome = ScanOutcome::Listed;
      return scan;
    } else {
      return scan;
    }
  }
}

int bestMatchIndex(const std::vector<SearchEntry>& page, const std::vector<SearchEntry>& listed) {
  if (listed.empty()) return -1;
  // The list holds what the page gave, so this normally ends at the first
  // entry of the page. Text and link both: one link may come under two names.
  for (const SearchEntry& best : page)
    for (std::size_t index = 0; index < listed.size(); ++index)
      if (listed[index].link == best.link && listed[index].displayText == best.displayText)
        return int(index);
  return 0;
}
