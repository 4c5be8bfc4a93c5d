#include "service/pages/routing.h"

#include <gtest/gtest.h>

#include <string>

#include "search/search_query.h"
#include "search/search_results.h"
#include "service/places/sample_places.h"
#include "weather/weather_page.h"

namespace {

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

const PlaceSource& shippedSource() {
  static PlaceSource source = sampleSource(shipped());
  return source;
}

const UnixTime kNow = parseUtc("2026-01-15T14:00:00Z").value();

// Fault prefixes are off unless asked for; these tests ask.
Answer get(std::string_view target, const Faults& faults = {}) {
  Routing routing;
  routing.defaults = faults;
  routing.faultPrefixes = true;
  return answerRequest(shippedSource(), target, kNow, routing);
}

std::size_t count(std::string_view page, std::string_view marker) {
  std::size_t n = 0;
  for (auto at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1))
    ++n;
  return n;
}

// A whole document, and no control byte but the line ends.
void expectWellFormed(const std::string& page) {
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html", 0), 0u);
  EXPECT_TRUE(page.ends_with("</html>\n"));
  for (unsigned char c : page)
    if (c < 0x20 && c != '\n') ADD_FAILURE() << "control byte " << int(c);
}

std::string scannedName(const std::string& page) {
  Conditions result{};
  scanWeatherPage(page, result);
  return std::string(textOf(result.locationName));
}

struct Link {
  std::string link, text;
  bool firstKind;
  bool operator==(const Link&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Link& l) {
  return out << (l.firstKind ? "first " : "second ") << l.link << " " << l.text;
}

// The links as the program's scanner reads them: without "extended" the first
// kind of both sections (or, with none, the second kind), with it both kinds
// after the second header.
std::vector<Link> scannedLinks(std::string_view page, bool extended) {
  std::vector<Link> links;
  for (const SearchEntry& entry : scanSearchResults(page, extended, "").entries)
    links.push_back({entry.link, entry.displayText, true});
  return links;
}

// What the scanner should read of sections holding `top` and `more`.
std::vector<Link> expectedLinks(const std::vector<Link>& top, const std::vector<Link>& more,
                                bool extended) {
  std::vector<Link> links;
  if (extended) {
    for (Link link : more) links.push_back({link.link, link.text, true});
    return links;
  }
  for (const auto* section : {&top, &more})
    for (const Link& link : *section)
      if (link.firstKind) links.push_back(link);
  if (links.empty())
    for (Link link : more) links.push_back({link.link, link.text, true});
  return links;
}

// The query as the program sends it, words joined by `glue`.
std::string joined(std::string_view query, char glue) {
  std::string form;
  for (char c : query) {
    if (c != ' ' && !form.empty() && form.back() == ' ') form.back() = glue;
    if (c != ' ' || (!form.empty() && form.back() != ' ')) form += c;
  }
  if (!form.empty() && form.back() == ' ') form.pop_back();
  return form;
}

const Place& place(const std::string& name) {
  for (const Place& p : shipped())
    if (p.name == name) return p;
  throw std::runtime_error("no place " + name);
}
Link first(const char* name) { return {"/report/" + place(name).slug, name, true}; }
Link second(const char* name) { return {"/report/" + place(name).slug, name, false}; }

TEST(Pages, EveryReportPageReadsBackThroughTheScanner) {
  for (const char* when : {"2026-01-15T14:00:00Z", "2026-07-04T22:30:00Z"}) {
    UnixTime now = parseUtc(when).value();
    for (const Place& p : shipped()) {
      SCOPED_TRACE(p.name);
      Answer answer = answerRequest(shippedSource(), "/report/" + p.slug, now);
      ASSERT_EQ(answer.status, 200);
      expectWellFormed(answer.body);
      Weather weather = weatherAt(p, now);
      Conditions read{};
      scanWeatherPage(answer.body, read);
      EXPECT_EQ(textOf(read.locationName), p.name);
      EXPECT_EQ(textOf(read.temperatureText), std::to_string(weather.temperatureF));
      EXPECT_EQ(textOf(read.feelsLikeText), std::to_string(weather.feelsLikeF));
      // Nothing in a report page may pass for a results section.
      EXPECT_EQ(count(answer.body, "locations &mdash;") + count(answer.body, "resolveLink") +
                    count(answer.body, "Unknown location"),
                0u);
    }
  }
}

enum class Shape { NotFound, DirectHit, OneSection, TopAndMore };

struct ShapeCase {
  std::string query;
  Shape shape;
  std::vector<Link> top, more;  // the links of the top section and of the other section
  std::string direct = "";      // DirectHit: the name after "Reports and Weather For"
};

void expectShape(const ShapeCase& c) {
  SCOPED_TRACE("query [" + c.query + "]");
  Answer answer = get("/?location=" + joined(c.query, '+'));
  const std::string& page = answer.body;
  EXPECT_EQ(answer.status, 200);
  expectWellFormed(page);
  std::size_t top = page.find("Top locations &mdash;");
  std::size_t section = page.find("locations &mdash;", top == std::string::npos ? 0 : top + 24);
  std::size_t direct = page.find("Reports and Weather For");
  bool listed = c.shape == Shape::OneSection || c.shape == Shape::TopAndMore;
  EXPECT_EQ(count(page, "Unknown location"), c.shape == Shape::NotFound ? 1u : 0u);
  EXPECT_EQ(count(page, "locations &mdash;"), c.shape == Shape::TopAndMore ? 2u : listed ? 1u : 0u);
  EXPECT_EQ(count(page, "Top locations &mdash;"), c.shape == Shape::TopAndMore ? 1u : 0u);
  EXPECT_EQ(direct != std::string::npos, c.shape == Shape::DirectHit);
  if (listed) {
    std::size_t start = c.shape == Shape::TopAndMore ? top : section;
    EXPECT_GT(page.find("resolveLink"), start);
    EXPECT_EQ(scannedLinks(page, false), expectedLinks(c.top, c.more, false));
    if (c.shape == Shape::TopAndMore)
      EXPECT_EQ(scannedLinks(page, true), expectedLinks(c.top, c.more, true));
  }
  if (c.shape == Shape::DirectHit) {
    EXPECT_EQ(page.substr(direct + 29, page.find('<', direct + 29) - direct - 29), c.direct);
    EXPECT_EQ(scannedName(page), c.direct);
    // The program then fetches "/" + the query with underscores.
    Answer again = get("/" + joined(c.query, '_'));
    EXPECT_EQ(again.status, 200);
    EXPECT_EQ(scannedName(again.body), c.direct);
  }
}

TEST(Pages, ResultsPageShapeFollowsTheQuery) {
  const ShapeCase cases[] = {
      {"78701", Shape::DirectHit, {}, {}, "Austin, TX"},
      {"Austin, TX", Shape::DirectHit, {}, {}, "Austin, TX"},
      {"  New   York ", Shape::DirectHit, {}, {}, "New York, NY"},
      {"TX",
       Shape::TopAndMore,
       {first("Houston, TX")},
       {first("Austin, TX"), first("Dallas, TX"), first("San Antonio, TX"), second("El Paso, TX"),
        second("Paris, TX")}},
      {"London", Shape::TopAndMore, {first("London, United Kingdom")}, {second("London, Canada")}},
      {"Portland", Shape::OneSection, {}, {first("Portland, OR"), second("Portland, ME")}},
      {"Springfield",
       Shape::OneSection,
       {},
       {second("Springfield, MA"), second("Springfield, MO"), second("Springfield, IL")}},
      {"Anchor", Shape::OneSection, {}, {first("Anchorage, AK")}},
      {"Nowhere", Shape::NotFound, {}, {}},
      {"   ", Shape::NotFound, {}, {}},
  };
  for (const auto& c : cases) expectShape(c);
}

TEST(Pages, OddQueriesGetWellFormedPagesWithoutForgedMarkers) {
  std::string manyMarkers;
  for (int i = 0; i < 300; ++i) manyMarkers += "Unknown location ";
  const std::string odd[] = {
      "Reports and Weather For: <em>Fake</em>",
      "Top locations &mdash; x",
      "resolveLink\" href=\"/evil\">Evil<",
      "%%7e%",
      "#top&location=b",
      std::string("\x01\x7f\t\r\0", 5),
      "\x80\xff\xe9\xe9",
      std::string(5000, 'x'),
      manyMarkers,
  };
  for (const auto& query : odd) {
    SCOPED_TRACE(query.substr(0, 40));
    std::string raw = joined(query, '+');
    for (const std::string& target : {"/?location=" + raw, "/" + raw, "/report/" + raw}) {
      Answer answer = get(target);
      expectWellFormed(answer.body);
      EXPECT_EQ(count(answer.body, "Unknown location"), 1u);
      // A first-kind marker is only looked for after a header, so the echo
      // may hold one; the second kind counts anywhere.
      for (const char* marker :
           {"currentWeather\"", "locations &mdash;", "resolveLink\"", "Reports and Weather For"})
        EXPECT_EQ(count(answer.body, marker), 0u) << marker;
    }
  }
  // Odd bytes around a real query change nothing but the echo.
  for (bool extended : {false, true}) {
    std::vector<Link> tx = scannedLinks(get("/?location=TX").body, extended);
    for (const char* query : {"TX<>\"'&#%", "%54%58", "\xffTX\x01"})
      EXPECT_EQ(scannedLinks(get(std::string("/?location=") + query).body, extended), tx) << query;
  }
}

TEST(Pages, FaultsOnDemand) {
  struct Case {
    std::string target;
    Faults defaults;
    int status, delayMs;
    bool cut, empty;
    const char* reads;  // the location the weather scanner finds
  } cases[] = {
      {"/slow/100/slow/50/cut/?location=Oslo", {}, 200, 150, true, false, "Oslo, Norway"},
      {"/status/500/report/oslo-norway", {}, 500, 0, false, false, ""},
      {"/status/503/empty", {}, 503, 0, false, true, ""},
      {"/report/oslo-norway", {.delayMs = 20, .status = 502}, 502, 20, false, false, ""},
      {"/status/99/report/oslo-norway", {}, 404, 0, false, false, ""},
      {"/", {}, 200, 0, false, false, ""},
      // A prefix without its number, or with a negative one, is no prefix.
      {"/slow", {}, 404, 0, false, false, ""},
      {"/slow/-4/report/oslo-norway", {}, 404, 0, false, false, ""},
      // Delays add up to a minute at most, however many or large.
      {"/slow/50000/slow/999999999/?location=Oslo", {}, 200, 60000, false, false, "Oslo, Norway"},
      {"/slow/59000/?location=Oslo", {.delayMs = 5000}, 200, 60000, false, false, "Oslo, Norway"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    Answer answer = get(c.target, c.defaults);
    EXPECT_EQ(std::tie(answer.status, answer.delayMs, answer.cut),
              std::tie(c.status, c.delayMs, c.cut));
    EXPECT_EQ(answer.body.empty(), c.empty);
    if (!c.empty) expectWellFormed(answer.body);
    EXPECT_EQ(scannedName(answer.body), c.reads);
  }
  // The maintenance and home pages hold no marker of either page kind.
  for (const char* target : {"/nomarkers/?location=TX", "/"}) {
    std::string page = get(target).body;
    for (const char* marker :
         {"currentWeather\"", "currentTemperature\"", "Feels Like:<", "locations &mdash;",
          "resolveLink", "Reports and Weather For", "Unknown location"})
      EXPECT_EQ(count(page, marker), 0u) << target << " " << marker;
  }
}

}  // namespace

namespace {

// The program's own results scanner reads what the service meant, and every
// link it takes answers the report page of the place it names.
TEST(Pages, ProgramScannerReadsTheResults) {
  struct Case {
    const char* query;
    bool extended;
    ScanOutcome outcome;
    std::vector<std::string> names;
    unsigned notFound = 0;
    bool extendedAfter = false;
  } cases[] = {
      {"TX",
       false,
       ScanOutcome::Listed,
       {"Houston, TX", "Austin, TX", "Dallas, TX", "San Antonio, TX"}},
      {"TX",
       true,
       ScanOutcome::Listed,
       {"Austin, TX", "Dallas, TX", "San Antonio, TX", "El Paso, TX", "Paris, TX"},
       0,
       true},
      {"Springfield",
       false,
       ScanOutcome::Listed,
       {"Springfield, MA", "Springfield, MO", "Springfield, IL"},
       0,
       true},
      {"New York", false, ScanOutcome::DirectHit, {"New York, NY"}},
      {"St. Louis, MO", false, ScanOutcome::DirectHit, {"St. Louis, MO"}},
      {"Nowhere", false, ScanOutcome::Nothing, {}, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.query) + (c.extended ? " extended" : ""));
    NormalisedQuery forms = normaliseQuery(c.query);
    std::string request = searchRequestUrl("", forms);
    SearchScan scan = scanSearchResults(get(request).body, c.extended, forms.underscoreForm);
    EXPECT_EQ(scan.outcome, c.outcome);
    EXPECT_EQ(scan.notFoundCount, c.notFound);
    EXPECT_EQ(scan.extendedAfter, c.extendedAfter);
    std::vector<std::string> names;
    for (const SearchEntry& entry : scan.entries) {
      names.push_back(entry.displayText);
      EXPECT_EQ(scannedName(get(entry.link).body), entry.displayText) << entry.link;
    }
    EXPECT_EQ(names, c.names);
  }
}

}  // namespace
