#include "search/search_results.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_files.h"

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;  // display text, link

// Page pieces with the markers at the offsets the scanner expects.
std::string first(const std::string& link, const std::string& text) {
  return "<a class=\"resolveLinkSpecial\" href=\"" + link + "\">" + text + "</a>\n";
}
std::string second(const std::string& link, const std::string& text) {
  return "<a class=\"resolveLink\" href=\"" + link + "\">" + text + "</a>\n";
}
std::string direct(const std::string& name) {
  return "<h1>Reports and Weather For&nbsp;" + name + "</h1>\n";
}
const std::string kHeader = "<h2>Matching locations &mdash; found</h2>\n";
const std::string kTop = "<h2>Top locations &mdash; best</h2>\n";
const std::string kUnknown = "<p>Unknown location</p>\n";

struct Expected {
  Entries entries;
  ScanOutcome outcome;
  unsigned notFound = 0;
  bool extendedAfter = false;
};

void expectScan(const std::string& what, const std::string& page, bool extended,
                const Expected& expected) {
  SearchScan scan = scanSearchResults(page, extended, "New_York");
  Entries entries;
  for (const SearchEntry& e : scan.entries) entries.emplace_back(e.displayText, e.link);
  EXPECT_EQ(entries, expected.entries) << what;
  EXPECT_EQ(scan.outcome, expected.outcome) << what;
  EXPECT_EQ(scan.notFoundCount, expected.notFound) << what;
  EXPECT_EQ(scan.extendedAfter, expected.extendedAfter) << what;
}

constexpr auto Listed = ScanOutcome::Listed;
constexpr auto DirectHit = ScanOutcome::DirectHit;
constexpr auto Nothing = ScanOutcome::Nothing;

TEST(SearchResults, RealisticPages) {
  const Entries springfields = {{"Springfield, IL", "/weather/us/il/springfield"},
                                {"Springfield, MA", "/weather/us/ma/springfield"},
                                {"Springfield, MO", "/weather/us/mo/springfield"}};
  Entries nearby = springfields;
  nearby.insert(nearby.end(), {{"Chatham, IL", "/weather/us/il/chatham"},
                               {"Chicopee, MA", "/weather/us/ma/chicopee"}});
  const std::string listed = readTestData("results_listed.html");
  expectScan("listed", listed, false, {springfields, Listed});
  expectScan("listed extended", listed, true, {nearby, Listed, 0, true});

  const std::string top = readTestData("results_top.html");
  expectScan("top", top, false,
             {{{"Portland, OR", "/weather/us/or/portland"},
               {"Portland, ME", "/weather/us/me/portland"},
               {"Portland, TX", "/weather/us/tx/portland"},
               {"Portland, IN", "/weather/us/in/portland"}},
              Listed});
  expectScan("top extended", top, true,
             {{{"Portland, TX", "/weather/us/tx/portland"},
               {"Portland, Victoria", "/weather/au/vic/portland"},
               {"Portland, IN", "/weather/us/in/portland"},
               {"Portland Parish, Jamaica", "/weather/jm/portland"}},
              Listed,
              0,
              true});

  expectScan("direct", readTestData("results_direct.html"), false,
             {{{"New York, NY", "/New_York"}}, DirectHit});
  expectScan("unknown", readTestData("results_unknown.html"), false, {{}, Nothing, 1});
}

TEST(SearchResults, MarkerRules) {
  const std::string a = first("/a", "A"), b = first("/b", "B"), x = second("/x", "X"),
                    y = second("/y", "Y");
  const std::string longText(300, 't');
  struct Case {
    const char* what;
    std::string page;
    bool extended;
    Expected expected;
  } cases[] = {
      {"empty page", "", false, {{}, Nothing}},
      {"ordinary markup", "<p>" + a + x + "</p>", true, {{}, Nothing, 0, true}},
      {"first kind", x + kHeader + a + x + b, false, {{{"A", "/a"}, {"B", "/b"}}, Listed}},
      {"both kinds after the header",
       y + kHeader + a + x + b,
       true,
       {{{"A", "/a"}, {"X", "/x"}, {"B", "/b"}}, Listed, 0, true}},
      {"fallback takes every second-kind link",
       x + kHeader + y,
       false,
       {{{"X", "/x"}, {"Y", "/y"}}, Listed, 0, true}},
      {"no fallback after a top header", x + kTop + y, false, {{}, Listed}},
      {"top: first kind in every section",
       kTop + a + x + kHeader + y + b,
       false,
       {{{"A", "/a"}, {"B", "/b"}}, Listed}},
      {"top extended: only after the next header",
       kTop + a + kHeader + y + b,
       true,
       {{{"Y", "/y"}, {"B", "/b"}}, Listed, 0, true}},
      {"top extended: header 23 bytes on is its own tail",
       "Top locations &mdash;xxlocations &mdash;" + a + kHeader + b,
       true,
       {{{"B", "/b"}}, Listed, 0, true}},
      {"top extended: header 24 bytes on counts",
       "Top locations &mdash;xxxlocations &mdash;" + a + kHeader + b,
       true,
       {{{"A", "/a"}, {"B", "/b"}}, Listed, 0, true}},
      {"top extended without a next header", kTop + a, true, {{}, Listed, 0, true}},
      {"links that would leave the service are left out",
       kHeader + first("", "E") + first("@evil.host/x", "H") + first("//evil.host/x", "P") +
           first("/a\\b", "S") + first("/a\r\nb", "C") + first("/a@b", "T") + b,
       false,
       {{{"B", "/b"}}, Listed}},
      {"control bytes in names become spaces",
       kHeader + first("/a", std::string("A\r\n[x]\0\x7f\t", 9)),
       false,
       {{{"A  [x]   ", "/a"}}, Listed}},
      {"control bytes in a direct hit's name",
       direct("N\r\nY"),
       false,
       {{{"N  Y", "/New_York"}}, DirectHit}},
      {"byte after the quote passed over",
       kHeader + "resolveLinkSpecial\" href=\"/a\"<A<",
       false,
       {{{"A", "/a"}}, Listed}},
      {"marker inside a display text",
       kHeader + first("/a", "A resolveLinkSpecial\" href=\"/b\">B") + b,
       false,
       {{{"A resolveLinkSpecial\" href=\"/b\">B", "/a"}, {"B", "/b"}}, Listed}},
      {"long texts keep 255 bytes",
       kHeader + first("/" + longText, longText) + b,
       false,
       {{{std::string(255, 't'), "/" + std::string(254, 't')}, {"B", "/b"}}, Listed}},
      {"link without a closing quote",
       kHeader + a + "resolveLinkSpecial\" href=\"/b>B</a>",
       false,
       {{{"A", "/a"}}, Listed}},
      {"display text without a stop",
       kHeader + a + first("/b", "B").substr(0, 40),
       false,
       {{{"A", "/a"}}, Listed}},
      {"closing quote last",
       kHeader + "resolveLinkSpecial\" href=\"/b\"",
       false,
       {{}, Listed, 0, true}},
      {"link marker at the end", kHeader + "resolveLinkSpecial", false, {{}, Listed, 0, true}},
      {"direct hit",
       "<p>" + direct("New  York") + a,
       false,
       {{{"New  York", "/New_York"}}, DirectHit}},
      {"direct hit without a name is passed over",
       direct("") + kUnknown + direct("NYC"),
       false,
       {{{"NYC", "/New_York"}}, DirectHit, 1}},
      {"direct hit name cut off", direct("New York").substr(0, 40), false, {{}, Nothing}},
      {"direct hit name at the end", "Reports and Weather For&nbsp;", false, {{}, Nothing}},
      {"direct hit before a header",
       direct("NYC") + kHeader + a,
       false,
       {{{"NYC", "/New_York"}}, DirectHit}},
      {"header before a direct hit", kHeader + a + direct("NYC"), false, {{{"A", "/a"}}, Listed}},
      {"unknown twice", kUnknown + kUnknown, false, {{}, Nothing, 2}},
      {"unknown, then results",
       kUnknown + kHeader + a + kUnknown,
       false,
       {{{"A", "/a"}}, Listed, 1}},
      {"unknown overlapping a header",
       "Unknown locations &mdash;" + a,
       false,
       {{{"A", "/a"}}, Listed, 1}},
      {"markers cut off", "Unknown locatio", false, {{}, Nothing}},
      {"header cut off", a + "locations &mdas", false, {{}, Nothing}},
      {"case-sensitive", "Locations &mdash;" + a + "unknown location", false, {{}, Nothing}},
  };
  for (const Case& c : cases) expectScan(c.what, c.page, c.extended, c.expected);
}

TEST(SearchResults, ManyMarkersBeforeTheEnd) {
  // Unknown markers and nameless direct hits interleaved: each is met once.
  std::string page;
  for (int i = 0; i < 2000; ++i) page += kUnknown + direct("") + "<p>filler</p>\n";
  expectScan("interleaved", page + direct("NYC"), false, {{{"NYC", "/New_York"}}, DirectHit, 2000});
  expectScan("then a header", page + kTop + first("/a", "A"), false, {{{"A", "/a"}}, Listed, 2000});
}

}  // namespace

// The list is sorted by text; the entry selected is the page's first.
TEST(SearchResults, BestMatchIsTheListedEntryFirstOnThePage) {
  using List = std::vector<SearchEntry>;
  struct Case {
    const char* what;
    List page, listed;
    int selected;
  } cases[] = {
      {"page in sorted order", {{"A", "/a"}, {"B", "/b"}}, {{"A", "/a"}, {"B", "/b"}}, 0},
      {"best match sorts later",
       {{"Paris", "/p"}, {"Cormeilles", "/c"}},
       {{"Cormeilles", "/c"}, {"Paris", "/p"}},
       1},
      {"first on the page not listed",
       {{"Z", "/z"}, {"C", "/c"}, {"B", "/b"}},
       {{"B", "/b"}, {"C", "/c"}},
       1},
      {"one link under two names", {{"Y", "/y"}, {"X", "/y"}}, {{"X", "/y"}, {"Y", "/y"}}, 1},
      {"one name for two links", {{"A", "/2"}, {"A", "/1"}}, {{"A", "/1"}, {"A", "/2"}}, 1},
      {"none on the page", {{"Q", "/q"}}, {{"A", "/a"}, {"B", "/b"}}, 0},
      {"empty list", {{"A", "/a"}}, {}, -1},
  };
  for (const Case& c : cases) EXPECT_EQ(bestMatchIndex(c.page, c.listed), c.selected) << c.what;
}
