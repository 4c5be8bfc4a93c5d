#include "service/pages.h"

#include <gtest/gtest.h>

#include <string>

#include "weather/weather_page.h"

namespace {

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

const UnixTime kNow = parseUtc("2026-01-15T14:00:00Z").value();

Answer get(std::string_view target, const Faults& faults = {}) {
  return answerRequest(shipped(), target, kNow, faults);
}

std::size_t count(std::string_view page, std::string_view marker) {
  std::size_t n = 0;
  for (auto at = page.find(marker); at != std::string_view::npos; at = page.find(marker, at + 1))
    ++n;
  return n;
}

const char* kMarkers[] = {"currentWeather\"",  "currentTemperature\"", "Feels Like:<",
                          "locations &mdash;", "resolveLink",          "Reports and Weather For",
                          "Unknown location"};

// A whole document, and no control byte but the line ends.
void expectWellFormed(const std::string& page, const std::string& what) {
  EXPECT_EQ(page.rfind("<!DOCTYPE html>\n<html", 0), 0u) << what;
  EXPECT_TRUE(page.size() > 8 && page.compare(page.size() - 8, 8, "</html>\n") == 0) << what;
  for (unsigned char c : page)
    if (c < 0x20 && c != '\n') ADD_FAILURE() << what << ": control byte " << int(c);
}

Conditions scan(const std::string& page) {
  Conditions result{};
  scanWeatherPage(page, result);
  return result;
}

struct Link {
  std::string link, text;
  bool firstKind;
  bool operator==(const Link&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Link& l) {
  return out << (l.firstKind ? "first " : "second ") << l.link << " " << l.text;
}

// Reads the links of both kinds from `from` to `to` at the offsets the program
// uses: the link 26 (first kind) or 19 (second kind) bytes after the marker's
// first byte up to '"', one byte passed over, then the text up to '<'.
std::vector<Link> linksBetween(std::string_view page, std::size_t from, std::size_t to) {
  std::vector<Link> links;
  for (std::size_t i = from; i < to && i < page.size(); ++i) {
    bool first = page.substr(i, 18) == "resolveLinkSpecial";
    if (!first && page.substr(i, 12) != "resolveLink\"") continue;
    std::size_t start = i + (first ? 26 : 19);
    std::size_t quote = page.find('"', start);
    std::size_t stop = page.find('<', quote + 2);
    if (quote == std::string_view::npos || stop == std::string_view::npos) {
      ADD_FAILURE() << "unterminated link at " << i;
      break;
    }
    links.push_back({std::string(page.substr(start, quote - start)),
                     std::string(page.substr(quote + 2, stop - quote - 2)), first});
    i = stop;
  }
  return links;
}

std::string underscoreForm(std::string_view query) {
  std::string form;
  bool gap = false;
  for (char c : query) {
    if (c == ' ') {
      gap = !form.empty();
      continue;
    }
    if (gap) form += '_';
    gap = false;
    form += c;
  }
  return form;
}

std::string plusForm(std::string_view query) {
  std::string form = underscoreForm(query);
  for (char& c : form)
    if (c == '_') c = '+';
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
      Answer answer = answerRequest(shipped(), "/report/" + p.slug, now);
      ASSERT_EQ(answer.status, 200) << p.slug;
      expectWellFormed(answer.body, p.slug);
      Weather weather = weatherAt(p, now);
      Conditions read = scan(answer.body);
      EXPECT_EQ(textOf(read.locationName), p.name);
      EXPECT_EQ(textOf(read.temperatureText), std::to_string(weather.temperatureF)) << p.name;
      EXPECT_EQ(textOf(read.feelsLikeText), std::to_string(weather.feelsLikeF)) << p.name;
      // Exactly the report markers, once each: nothing else may catch the scanner.
      for (const char* marker :
           {"currentWeather\"", "currentTemperature\"", "Feels Like:<", "Reports and Weather For"})
        EXPECT_EQ(count(answer.body, marker), 1u) << p.name << " " << marker;
      for (const char* marker : {"locations &mdash;", "resolveLink", "Unknown location"})
        EXPECT_EQ(count(answer.body, marker), 0u) << p.name << " " << marker;
    }
  }
}

enum class Shape { NotFound, DirectHit, OneSection, TopAndMore };

struct ShapeCase {
  std::string query;
  Shape shape;
  std::string direct;           // DirectHit: the name after "Reports and Weather For"
  std::vector<Link> top, more;  // the links of the top section and of the (other) section
};

void expectShape(const ShapeCase& c) {
  SCOPED_TRACE("query [" + c.query + "]");
  Answer answer = get("/?location=" + plusForm(c.query));
  const std::string& page = answer.body;
  EXPECT_EQ(answer.status, 200);
  expectWellFormed(page, c.query);
  std::size_t top = page.find("Top locations &mdash;");
  std::size_t section = page.find("locations &mdash;", top == std::string::npos ? 0 : top + 24);
  std::size_t direct = page.find("Reports and Weather For");
  std::size_t unknown = page.find("Unknown location");
  std::size_t anyLink = page.find("resolveLink");
  switch (c.shape) {
    case Shape::NotFound:
      EXPECT_EQ(count(page, "Unknown location"), 1u);
      EXPECT_EQ(count(page, "locations &mdash;") + count(page, "Reports and Weather For") +
                    count(page, "resolveLink"),
                0u);
      break;
    case Shape::DirectHit: {
      ASSERT_NE(direct, std::string::npos);
      EXPECT_EQ(count(page, "locations &mdash;") + count(page, "Unknown location"), 0u);
      EXPECT_NE(page[direct + 29], '<');
      EXPECT_EQ(page.substr(direct + 29, page.find('<', direct + 29) - direct - 29), c.direct);
      // The program then fetches "/" + the query with underscores.
      Answer again = get("/" + underscoreForm(c.query));
      EXPECT_EQ(again.status, 200);
      EXPECT_EQ(textOf(scan(again.body).locationName), c.direct);
      EXPECT_EQ(textOf(scan(page).locationName), c.direct);
      break;
    }
    case Shape::OneSection:
      EXPECT_EQ(top, std::string::npos);
      ASSERT_NE(section, std::string::npos);
      EXPECT_EQ(count(page, "locations &mdash;"), 1u);
      EXPECT_GT(anyLink, section);
      EXPECT_EQ(direct, std::string::npos);
      EXPECT_EQ(unknown, std::string::npos);
      EXPECT_EQ(linksBetween(page, section, page.size()), c.more);
      break;
    case Shape::TopAndMore:
      ASSERT_NE(top, std::string::npos);
      ASSERT_NE(section, std::string::npos);
      EXPECT_EQ(count(page, "locations &mdash;"), 2u);
      EXPECT_GT(anyLink, top);
      EXPECT_EQ(direct, std::string::npos);
      EXPECT_EQ(unknown, std::string::npos);
      EXPECT_EQ(linksBetween(page, top, section), c.top);
      EXPECT_EQ(linksBetween(page, section, page.size()), c.more);
      break;
  }
  // Every link leads to its place's report page.
  for (const Link& link : linksBetween(page, 0, page.size())) {
    Answer report = get(link.link);
    EXPECT_EQ(report.status, 200) << link;
    EXPECT_EQ(textOf(scan(report.body).locationName), link.text);
  }
}

TEST(Pages, ResultsPageShapeFollowsTheQuery) {
  const ShapeCase cases[] = {
      {"78701", Shape::DirectHit, "Austin, TX", {}, {}},
      {"Austin, TX", Shape::DirectHit, "Austin, TX", {}, {}},
      {"  New   York ", Shape::DirectHit, "New York, NY", {}, {}},
      {"salt lake city", Shape::DirectHit, "Salt Lake City, UT", {}, {}},
      {"Oslo", Shape::DirectHit, "Oslo, Norway", {}, {}},
      {"TX",
       Shape::TopAndMore,
       "",
       {first("Houston, TX")},
       {first("Austin, TX"), first("Dallas, TX"), first("San Antonio, TX"), second("El Paso, TX"),
        second("Paris, TX")}},
      {"London",
       Shape::TopAndMore,
       "",
       {first("London, United Kingdom")},
       {second("London, Canada")}},
      {"Portland", Shape::OneSection, "", {}, {first("Portland, OR"), second("Portland, ME")}},
      {"Springfield",
       Shape::OneSection,
       "",
       {},
       {second("Springfield, MA"), second("Springfield, MO"), second("Springfield, IL")}},
      {"Anchor", Shape::OneSection, "", {}, {first("Anchorage, AK")}},
      {"Tokyo, Japan", Shape::DirectHit, "Tokyo, Japan", {}, {}},
      {"Nowhere", Shape::NotFound, "", {}, {}},
      {"", Shape::NotFound, "", {}, {}},
      {"   ", Shape::NotFound, "", {}, {}},
  };
  for (const auto& c : cases) expectShape(c);
}

TEST(Pages, OddQueriesGetWellFormedPagesWithoutForgedMarkers) {
  const std::string odd[] = {
      "Unknown location",
      "Reports and Weather For: <em>Fake</em>",
      "Top locations &mdash; x",
      "locations &mdash;",
      "resolveLinkSpecial\" href=\"/evil\">Evil<",
      "resolveLink\" href=\"/evil\">Evil<",
      "%",
      "%%7e%",
      "#top",
      "a&location=b",
      std::string("\x01\x02\x7f\t\r", 5),
      std::string("\0", 1),
      "\x80\xff\xe9\xe9",
      "<script>alert(1)</script>",
      std::string(5000, 'x'),
      [] {
        std::string s;
        for (int i = 0; i < 300; ++i) s += "Unknown location ";
        return s;
      }(),
  };
  for (const auto& query : odd) {
    SCOPED_TRACE("query of " + std::to_string(query.size()) + " bytes: " + query.substr(0, 40));
    // As the program sends it: spaces as '+', nothing else escaped.
    std::string raw = query;
    for (char& ch : raw)
      if (ch == ' ') ch = '+';
    for (const std::string& target : {"/?location=" + raw, "/" + raw, "/report/" + raw}) {
      Answer answer = get(target);
      expectWellFormed(answer.body, target.substr(0, 40));
      EXPECT_EQ(count(answer.body, "Unknown location"), 1u);
      // A first-kind marker is only looked for after a header, so the echo
      // may hold one; the second kind counts anywhere.
      for (const char* marker :
           {"currentWeather\"", "locations &mdash;", "resolveLink\"", "Reports and Weather For"})
        EXPECT_EQ(count(answer.body, marker), 0u) << marker;
    }
  }
  // Odd bytes around a real query change nothing but the echo.
  std::vector<Link> tx = linksBetween(get("/?location=TX").body, 0, std::string::npos);
  for (const char* query : {"TX<>\"'&#%", "%54%58", "tx_", "\xffTX\x01"}) {
    Answer answer = get(std::string("/?location=") + query);
    expectWellFormed(answer.body, query);
    EXPECT_EQ(linksBetween(answer.body, 0, std::string::npos), tx) << query;
  }
}

TEST(Pages, FaultsOnDemand) {
  struct Case {
    std::string target;
    Faults defaults;
    int status;
    int delayMs;
    bool cut;
    const char* reads;  // the location the scanner finds; "" for none
    bool empty;
  } cases[] = {
      {"/report/oslo-norway", {}, 200, 0, false, "Oslo, Norway", false},
      {"/slow/250/report/oslo-norway", {}, 200, 250, false, "Oslo, Norway", false},
      {"/slow/100/slow/50/cut/?location=Oslo", {}, 200, 150, true, "Oslo, Norway", false},
      {"/status/500/report/oslo-norway", {}, 500, 0, false, "", false},
      {"/status/203/report/oslo-norway", {}, 203, 0, false, "Oslo, Norway", false},
      {"/empty/?location=TX", {}, 200, 0, false, "", true},
      {"/nomarkers/report/oslo-norway", {}, 200, 0, false, "", false},
      {"/cut/report/oslo-norway", {}, 200, 0, true, "Oslo, Norway", false},
      {"/status/503/empty", {}, 503, 0, false, "", true},
      {"/report/oslo-norway", {.delayMs = 20, .status = 502}, 502, 20, false, "", false},
      {"/report/oslo-norway", {.noMarkers = true}, 200, 0, false, "", false},
      {"/status/99/report/oslo-norway", {}, 404, 0, false, "", false},
      {"/slow/lots/report/oslo-norway", {}, 404, 0, false, "", false},
      {"/slowly/report/oslo-norway", {}, 404, 0, false, "", false},
      {"/slow/999999/report/oslo-norway", {}, 404, 0, false, "", false},
      {"/report/atlantis", {}, 404, 0, false, "", false},
      {"/", {}, 200, 0, false, "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target);
    Answer answer = get(c.target, c.defaults);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.delayMs, c.delayMs);
    EXPECT_EQ(answer.cut, c.cut);
    EXPECT_EQ(answer.body.empty(), c.empty);
    if (!c.empty) expectWellFormed(answer.body, c.target);
    EXPECT_EQ(textOf(scan(answer.body).locationName), c.reads);
  }
  // The maintenance page holds no marker of either page kind.
  std::string quiet = get("/nomarkers/?location=TX").body;
  for (const char* marker : kMarkers) EXPECT_EQ(count(quiet, marker), 0u) << marker;
  // The home page links every place without posing as a results page.
  std::string home = get("/").body;
  for (const Place& p : shipped()) EXPECT_EQ(count(home, "/report/" + p.slug + "\""), 1u);
  for (const char* marker : kMarkers) EXPECT_EQ(count(home, marker), 0u) << marker;
}

}  // namespace
