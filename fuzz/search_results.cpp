// The results scanner on arbitrary pages, in both "extended" states, beside a
// plain position-by-position reading of its rules.

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "search/search_query.h"
#include "search/search_results.h"

namespace {

constexpr std::size_t npos = std::string_view::npos;
constexpr std::string_view kTop = "Top locations &mdash;", kHeader = "locations &mdash;",
                           kFirst = "resolveLinkSpecial", kSecond = "resolveLink\"",
                           kDirect = "Reports and Weather For", kUnknown = "Unknown location";

bool at(std::string_view page, std::size_t i, std::string_view marker) {
  return i <= page.size() && page.substr(i, marker.size()) == marker;
}

std::string capped(std::string_view text) { return std::string(text.substr(0, 255)); }

bool control(char byte) { return static_cast<unsigned char>(byte) < 32 || byte == 127; }

std::string name(std::string_view text) {
  std::string name = capped(text);
  for (char& byte : name) byte = control(byte) ? ' ' : byte;
  return name;
}

// Links that stay on the service: one leading "/", no "@", "\\" or control byte.
bool staysOnService(std::string_view link) {
  if (link.empty() || link[0] != '/' || link.substr(0, 2) == "//") return false;
  for (char byte : link) {
    if (byte == '@' || byte == '\\' || control(byte)) return false;
  }
  return true;
}

// Entries for every link from `from` on, first kind tried before second at
// each position; false when an entry was cut short by the end of the page.
bool links(std::string_view page, std::size_t from, bool first, bool second, SearchScan& scan) {
  for (std::size_t i = from; i < page.size(); ++i) {
    if (page[i] != 'r') continue;  // both link markers start with it; keeps runs fast
    std::size_t offset;
    if (first && at(page, i, kFirst)) {
      offset = 26;
    } else if (second && at(page, i, kSecond)) {
      offset = 19;
    } else {
      continue;
    }
    std::size_t quote = page.find('"', i + offset);
    if (quote == npos || i + offset > page.size()) return false;
    std::size_t less = page.find('<', quote + 2);
    if (less == npos || quote + 2 > page.size()) return false;
    std::string link = capped(page.substr(i + offset, quote - i - offset));
    if (staysOnService(link)) {
      scan.entries.push_back({name(page.substr(quote + 2, less - quote - 2)), link});
    }
    i = less;  // on at the byte after the "<"
  }
  return true;
}

SearchScan referenceScan(std::string_view page, bool extended, std::string_view underscoreForm) {
  SearchScan scan;
  scan.extendedAfter = extended;
  for (std::size_t i = 0; i < page.size(); ++i) {
    if (std::string_view("TlRU").find(page[i]) == npos) continue;  // no marker starts here
    if (at(page, i, kTop)) {
      scan.outcome = ScanOutcome::Listed;
      if (!extended) {
        links(page, i + kTop.size(), true, false, scan);
      } else if (std::size_t next = page.find(kHeader, i + 24); next != npos) {
        links(page, next + kHeader.size(), true, true, scan);
      }
      return scan;
    }
    if (at(page, i, kHeader)) {
      scan.outcome = ScanOutcome::Listed;
      links(page, i + kHeader.size(), true, extended, scan);
      if (!extended && scan.entries.empty()) {
        scan.extendedAfter = true;
        links(page, 0, false, true, scan);
      }
      return scan;
    }
    if (at(page, i, kDirect) && i + 29 < page.size() && page[i + 29] != '<') {
      std::size_t less = page.find('<', i + 29);
      if (less == npos) return scan;
      scan.entries.push_back(
          {name(page.substr(i + 29, less - i - 29)), directHitLink(underscoreForm)});
      scan.outcome = ScanOutcome::DirectHit;
      return scan;
    }
    if (at(page, i, kUnknown)) ++scan.notFoundCount;
  }
  return scan;
}

bool same(const SearchScan& a, const SearchScan& b) {
  if (a.outcome != b.outcome || a.notFoundCount != b.notFoundCount ||
      a.extendedAfter != b.extendedAfter || a.entries.size() != b.entries.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.entries.size(); ++i) {
    if (a.entries[i].displayText != b.entries[i].displayText ||
        a.entries[i].link != b.entries[i].link) {
      return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view page(reinterpret_cast<const char*>(data), size);
  // The query's second form comes from the page's first bytes: any bytes.
  const std::string underscoreForm = normaliseQuery(page.substr(0, 40)).underscoreForm;
  for (bool extended : {false, true}) {
    SearchScan scan = scanSearchResults(page, extended, underscoreForm);
    check(same(scan, referenceScan(page, extended, underscoreForm)),
          "scan equals the plain reading");
    check(scan.extendedAfter || !extended, "extended stays set");
    check(scan.outcome != ScanOutcome::Nothing || scan.entries.empty(), "nothing has no entries");
    check(scan.outcome != ScanOutcome::DirectHit || scan.entries.size() == 1,
          "a direct hit has one entry");
    for (const SearchEntry& entry : scan.entries) {
      check(entry.displayText.size() <= 255 && entry.link.size() <= 255, "texts of 255 at most");
      check(!contains(entry.displayText, "<"), "display text stops before '<'");
      for (char byte : entry.displayText) check(!control(byte), "no control byte in a name");
      if (scan.outcome == ScanOutcome::Listed) {
        check(contains(page, entry.link), "link is a piece of the page");
        check(!contains(entry.link, "\""), "link stops before '\"'");
        check(staysOnService(entry.link), "link stays on the service");
      }
    }
  }
  return 0;
}
