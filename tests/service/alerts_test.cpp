// Severe-weather alerts: the sources' answers as read, and the report page
// the program gets, through the live service with stand-ins for the
// forecast server and both alert sources.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "fake_alerts.h"
#include "fake_open_meteo.h"
#include "service/alerts/alert_sources.h"
#include "service/http/handlers.h"
#include "service/http/hardened_server.h"
#include "service/places/sample_places.h"
#include "service/weather/open_meteo_client.h"
#include "weather/alerts.h"
#include "weather/weather_page.h"

namespace {

constexpr std::int64_t kNow = 1'796'670'000;  // 2026-12-07 19:00 UTC
constexpr int kCentral = -6 * 3600;

std::string at(std::int64_t fromNow, bool zulu = false) {
  return sourceTime(kNow + fromNow, kCentral, zulu);
}

NwsRecord tornado(std::string id = "urn:oid:nws.1") {
  return {std::move(id),
          "Tornado Warning",
          "Severe",
          "Tornado Warning issued December 7 at 5:30PM CST until December 7 at 6:45PM CST",
          at(3600),
          at(3600),
          "Alert",
          "Actual",
          {}};
}

EcccRecord snow(std::string status = "active", std::string colour = "orange") {
  return {"urn:oid:eccc.7",
          "snowfall warning",
          "warning",
          colour,
          "Significant snowfall is expected.\nTotal amounts of 15 to 25 cm.",
          std::move(status),
          at(7200, true),
          at(7200, true)};
}

TEST(Alerts, SourceAnswersAsRead) {
  NwsRecord expired = tornado("urn:oid:nws.2");
  expired.ends = expired.expires = at(-60);
  NwsRecord untilExpiry = tornado("urn:oid:nws.3");
  untilExpiry.ends.clear();
  NwsRecord cancel = tornado("urn:oid:nws.4");
  cancel.messageType = "Cancel";
  cancel.references = {{"urn:oid:nws.1", "2026-12-07T12:00:00-06:00"}};
  NwsRecord update = tornado("urn:oid:nws.5");
  update.messageType = "Update";
  update.severity = "Extreme";
  update.event = "Tornado Emergency";
  update.references = {{"urn:oid:nws.1", "2026-12-07T12:00:00-06:00"}};
  NwsRecord exercise = tornado("urn:oid:nws.6");
  exercise.status = "Exercise";
  NwsRecord hostile = tornado("urn:oid:nws.7");
  hostile.event = "Flood\r\nWarning\x01";
  hostile.headline = "<b>\"currentTemperature\" Feels Like:<" + std::string(600, 'x');
  std::vector<std::string> thousands(kMaxAlerts + 1, nwsFeature(tornado()));

  struct Case {
    const char* name;
    bool nws;
    int status;
    std::string body;
    bool answered;
    std::size_t count = 0;
    std::string id = {}, event = {};
    AlertSeverity severity = AlertSeverity::Unknown;
    std::optional<std::int64_t> ends = {};
  };
  const Case cases[] = {
      {"in force", true, 200, nwsCollection({nwsFeature(tornado())}), true, 1, "urn:oid:nws.1",
       "Tornado Warning", AlertSeverity::Severe, kNow + 3600},
      {"none", true, 200, nwsCollection({}), true, 0},
      {"expired", true, 200, nwsCollection({nwsFeature(expired)}), true, 0},
      {"no end: its expiry", true, 200, nwsCollection({nwsFeature(untilExpiry)}), true, 1,
       "urn:oid:nws.3", "Tornado Warning", AlertSeverity::Severe, kNow + 3600},
      {"cancelled", true, 200, nwsCollection({nwsFeature(tornado()), nwsFeature(cancel)}), true, 0},
      {"updated: replaces, keeps the first id", true, 200,
       nwsCollection({nwsFeature(tornado()), nwsFeature(update)}), true, 1, "urn:oid:nws.1",
       "Tornado Emergency", AlertSeverity::Extreme},
      {"an exercise", true, 200, nwsCollection({nwsFeature(exercise)}), true, 0},
      {"hostile texts cleaned and cut", true, 200, nwsCollection({nwsFeature(hostile)}), true, 1,
       "urn:oid:nws.7", "Flood Warning", AlertSeverity::Severe},
      {"malformed", true, 200, "{\"features\":[{\"properties\":", false},
      {"not features", true, 200, "{\"features\":{}}", false},
      {"server error", true, 503, nwsCollection({nwsFeature(tornado())}), false},
      {"thousands of alerts", true, 200, nwsCollection(thousands), false},
      {"multi-megabyte", true, 200, std::string(kMaxAlertsBytes + 1, ' '), false},
      {"Canada: one alert over several areas", false, 200,
       ecccCollection({ecccFeature(snow(), 1), ecccFeature(snow(), 2)}), true, 1, "urn:oid:eccc.7",
       "snowfall warning", AlertSeverity::Severe, kNow + 7200},
      {"Canada: red", false, 200, ecccCollection({ecccFeature(snow("active", "red"), 1)}), true, 1,
       "urn:oid:eccc.7", "snowfall warning", AlertSeverity::Extreme},
      {"Canada: ended", false, 200, ecccCollection({ecccFeature(snow("ended"), 1)}), true, 0},
      {"Canada: cancelled", false, 200, ecccCollection({ecccFeature(snow("cancelled"), 1)}), true,
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AlertsFetched read =
        c.nws ? parseNwsAlerts(c.status, c.body, kNow) : parseEcccAlerts(c.status, c.body, kNow);
    EXPECT_EQ(read.answered, c.answered) << read.error;
    ASSERT_EQ(read.alerts.size(), c.count);
    if (c.count == 0) continue;
    const WeatherAlert& first = read.alerts[0];
    EXPECT_EQ(first.id, c.id);
    EXPECT_EQ(first.event, c.event);
    EXPECT_EQ(first.severity, c.severity);
    if (c.ends) {
      EXPECT_EQ(first.ends, c.ends);
    }
    EXPECT_LE(first.headline.size(), kMaxHeadlineBytes);
    EXPECT_EQ(first.headline.find_first_of("\r\n"), std::string::npos);
  }
}

// The live service with both alert sources on one stand-in, and a clock
// of its own.
struct AlertingService {
  AlertingService(FakeOpenMeteo& weather, FakeAlerts& fake)
      : client([&] {
          UpstreamConfig config;
          config.baseUrl = weather.url();
          config.userAgent = "skyvane-service/test";
          return config;
        }()),
        budget(BudgetLimits{}),
        cache([this](double lat, double lon) { return client.fetch(lat, lon); }, budget,
              [] { return Millis(kObservedAtUtc) * 1000; }),
        alerts({nwsSource(fake.url(), "skyvane-service/test (Skyvane weather widget)",
                          {3000, 5000, 5000}),
                ecccSource(fake.url(), "skyvane-service/test (Skyvane weather widget)",
                           {3000, 5000, 5000})},
               [] { return Millis(kNow) * 1000; }) {
    static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
    ServiceSetup setup;
    setup.source = sampleSource(data.places);
    setup.clock = [] { return UnixTime(kNow); };
    setup.live = &cache;
    setup.budget = &budget;
    setup.alerts = &alerts;
    installHandlers(server, setup);
    port = server.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server.listen_after_bind(); });
  }
  ~AlertingService() {
    server.stop();
    thread.join();
  }
  std::string page(const std::string& target) {
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(15, 0);
    auto answer = http.Get(target);
    return answer ? answer->body : "";
  }

  OpenMeteoClient client;
  CallBudget budget;
  WeatherCache cache;
  AlertsCache alerts;
  HardenedServer server;
  int port = 0;
  std::thread thread;
};

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(Alerts, ReportPagesCarryThePlacesAlertsWithTheirSourcesCredit) {
  FakeOpenMeteo weather;
  FakeAlerts fake;
  NwsRecord hostile = tornado();
  hostile.headline = "Take cover \"now\" <script>currentWeather\" Reports and Weather For: X\x07";
  fake.nws(nwsCollection({nwsFeature(hostile)}));
  fake.eccc(ecccCollection({ecccFeature(snow(), 1)}));
  AlertingService service(weather, fake);

  std::string austin = service.page("/report/austin-tx");
  Conditions read{};
  scanWeatherPage(austin, read);
  EXPECT_EQ(textOf(read.locationName), "Austin, TX");  // the weather as ever
  EXPECT_EQ(textOf(read.temperatureText), "72");
  PageAlerts alerts = readPageAlerts(austin);
  EXPECT_TRUE(alerts.answered);
  ASSERT_EQ(alerts.alerts.size(), 1u);
  EXPECT_EQ(alerts.alerts[0].event, "Tornado Warning");
  EXPECT_EQ(alerts.alerts[0].severity, AlertLevel::Severe);
  EXPECT_EQ(alerts.alerts[0].headline,
            "Take cover \"now\" <script>currentWeather\" Reports and Weather For: X");
  EXPECT_EQ(alerts.alerts[0].endsAt, kNow + 3600);
  EXPECT_EQ(alerts.alerts[0].endsLocal.hour, 14);  // 20:00 UTC is 14:00 in Austin
  EXPECT_FALSE(has(austin, "<script>"));
  EXPECT_TRUE(has(austin, "National Weather Service"));
  EXPECT_EQ(fake.nwsCalls(), 1);
  EXPECT_TRUE(has(fake.lastUserAgent(), "Skyvane"));
  EXPECT_TRUE(has(fake.lastTarget(), "point=30.2700,-97.7400"));

  // Held for the next request: no second call.
  service.page("/report/austin-tx");
  EXPECT_EQ(fake.nwsCalls(), 1);

  std::string toronto = service.page("/report/toronto-canada");
  EXPECT_EQ(readPageAlerts(toronto).alerts.size(), 1u);
  EXPECT_TRUE(has(toronto, "Data Source: Environment and Climate Change Canada"));
  EXPECT_EQ(fake.ecccCalls(), 1);

  // Elsewhere: no call, and nothing said.
  std::string oslo = service.page("/report/oslo-norway");
  EXPECT_FALSE(readPageAlerts(oslo).answered);
  EXPECT_FALSE(has(oslo, "alert"));
  EXPECT_EQ(fake.nwsCalls() + fake.ecccCalls(), 2);
}

TEST(Alerts, ASlowOrFailingSourceNeitherDelaysNorBreaksTheWeather) {
  FakeOpenMeteo weather;
  FakeAlerts fake;
  fake.delay(2500);
  fake.eccc("oops", 500);
  AlertingService service(weather, fake);
  for (const char* link : {"/report/austin-tx", "/report/toronto-canada"}) {
    SCOPED_TRACE(link);
    auto start = std::chrono::steady_clock::now();
    std::string page = service.page(link);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    Conditions read{};
    scanWeatherPage(page, read);
    EXPECT_EQ(textOf(read.temperatureText), "72");
    // Never "no alerts" for an answer that did not come.
    EXPECT_FALSE(readPageAlerts(page).answered);
    EXPECT_FALSE(has(page, "No weather alerts"));
  }
}

}  // namespace
