#pragma once
// The scan of the service's answer to a search: a results page, one
// location's report page (a direct hit), or the not-found page.

#include <string>
#include <string_view>
#include <vector>

struct SearchEntry {
  std::string displayText;  // at most 255 bytes, as the page has them
  std::string link;         // relative to the service, at most 255 bytes
};

enum class ScanOutcome { Listed, DirectHit, Nothing };

struct SearchScan {
  std::vector<SearchEntry> entries;  // in page order
  ScanOutcome outcome = ScanOutcome::Nothing;
  unsigned notFoundCount = 0;  // "Unknown location" markers met before the scan ended
  bool extendedAfter = false;  // `extended`, or set because the fallback rescan ran
};

// Reads the markers of `page`. `extended` also lists the second kind of link;
// `underscoreForm` is the query's second form, which becomes the link of a
// direct hit (escaped here, see directHitLink). Never reads outside `page`.
//
// A link or display text longer than 255 bytes keeps its first 255. An entry
// or direct-hit name whose stop byte is missing before the page ends is taken
// as a page cut short: that entry is dropped and the scan ends there (a direct
// hit then gives Nothing).
SearchScan scanSearchResults(std::string_view page, bool extended, std::string_view underscoreForm);

// The entry of the results list to select once the list is filled. The list
// keeps its entries sorted by text; the page gives the service's best match
// first. `listed` is the list in its own order; the answer is the index of
// the entry that comes first on `page`, 0 when none is on it, and -1 for an
// empty list.
int bestMatchIndex(const std::vector<SearchEntry>& page, const std::vector<SearchEntry>& listed);
