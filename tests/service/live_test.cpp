// Live weather against a stand-in forecast server on loopback: the page the
// program reads, the upstream's failures, the cache, single flight and the
// call budget.

#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <atomic>
#include <sstream>
#include <thread>
#include <vector>

#include "poll.h"
#include "fake_open_meteo.h"
#include "trickling_server.h"
#include "service/places/gazetteer.h"
#include "service/places/report_link.h"
#include "service/http/hardened_server.h"
#include "service/weather/open_meteo_client.h"
#include "service/http/handlers.h"
#include "service/places/sample_places.h"
#include "service/places/world_source.h"
#include "weather/conditions_text.h"
#include "weather/weather_page.h"

namespace {

constexpr Millis kMinute = 60'000, kHour = 60 * kMinute;

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

UpstreamConfig upstreamAt(const FakeOpenMeteo& fake, std::string key = "") {
  UpstreamConfig config;
  config.baseUrl = fake.url();
  config.apiKey = std::move(key);
  config.readTimeoutMs = 500;
  config.userAgent = "skyvane-service/test";
  return config;
}

// The live service on a free loopback port, with a clock the test moves.
struct LiveService {
  explicit LiveService(FakeOpenMeteo& fake, BudgetLimits limits = {}, std::string key = "",
                       const Gazetteer* world = nullptr, CacheTimes times = {})
      : client(upstreamAt(fake, std::move(key))),
        budget(limits),
        cache([this](double lat, double lon) { return client.fetch(lat, lon); }, budget,
              [this] { return clock.load(); }, times) {
    ServiceSetup setup;
    setup.source = world ? worldSource(*world) : sampleSource(shipped());
    setup.clock = [] { return UnixTime(1768485600); };
    setup.live = &cache;
    setup.budget = &budget;
    installHandlers(server, setup);
    port = server.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { server.listen_after_bind(); });
  }
  ~LiveService() {
    server.stop();
    thread.join();
  }
  httplib::Result get(const std::string& target) {
    httplib::Client http("127.0.0.1", port);
    http.set_read_timeout(10, 0);
    http.set_url_encode(false);  // links as the program sends them
    return http.Get(target);
  }

  std::atomic<Millis> clock{1'768'485'600'000};
  OpenMeteoClient client;
  CallBudget budget;
  WeatherCache cache;
  HardenedServer server;
  int port = 0;
  std::thread thread;
};

Conditions scanned(const std::string& page) {
  Conditions read{};
  scanWeatherPage(page, read);
  return read;
}

TEST(Live, ReportPageOrServiceUnavailableForEachUpstreamAnswer) {
  struct Case {
    const char* name;
    FakeAnswer answer;
    int status;
    const char* temperature = "";
    const char* feelsLike = "";
    const char* exactTemperature = "";  // the head's tenths, for rounding to Celsius
    const char* exactFeelsLike = "";
  };
  const Case cases[] = {
      {"ordinary", {200, forecastJson(71.6, 69.4)}, 200, "72", "69", "71.6", "69.4"},
      {"below zero", {200, forecastJson(-3.5, -10.49)}, 200, "-4", "-10", "-3.5", "-10.5"},
      {"halves round away from zero", {200, forecastJson(0.5, -0.5)}, 200, "1", "-1"},
      {"hundred and above", {200, forecastJson(104.2, 112.5)}, 200, "104", "113"},
      {"integers", {200, forecastJson(0, 100)}, 200, "0", "100"},
      {"error flag", {400, R"({"error":true,"reason":"Latitude must be in range"})"}, 503},
      {"error flag with 200", {200, R"({"error":true,"current":{}})"}, 503},
      {"too many requests", {429, R"({"error":true,"reason":"Daily limit exceeded"})"}, 503},
      {"server error", {500, "Internal Server Error"}, 503},
      {"malformed", {200, R"({"current":{"temperature_2m":71.6,)"}, 503},
      {"no current", {200, R"({"latitude":30.27,"hourly":{}})"}, 503},
      {"one field missing", {200, R"({"current":{"temperature_2m":71.6}})"}, 503},
      {"not numbers",
       {200, R"({"current":{"temperature_2m":"72","apparent_temperature":70}})"},
       503},
      {"absurd value", {200, forecastJson(1e6, 70)}, 503},
      {"in Celsius",
       {200, R"({"current_units":{"temperature_2m":"°C","apparent_temperature":"°C"},)"
             R"("current":{"temperature_2m":22.0,"apparent_temperature":21.0}})"},
       503},
      {"slower than the read timeout", {200, forecastJson(71.6, 69.4), 1500}, 503},
      {"connection dropped", {200, "", 0, true}, 503},
  };
  FakeOpenMeteo fake;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.answer(c.answer);
    LiveService live(fake);
    auto answer = live.get("/report/austin-tx");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    Conditions read = scanned(answer->body);
    if (c.status == 200) {
      EXPECT_EQ(textOf(read.locationName), "Austin, TX");
      EXPECT_EQ(textOf(read.temperatureText), c.temperature);
      EXPECT_EQ(textOf(read.feelsLikeText), c.feelsLike);
      if (*c.exactTemperature) {
        EXPECT_EQ(textOf(read.exactTemperatureText), c.exactTemperature);
        EXPECT_EQ(textOf(read.exactFeelsLikeText), c.exactFeelsLike);
      }
      // Kept in front as long as the reading is fresh.
      EXPECT_EQ(answer->get_header_value("Cache-Control"),
                "public, max-age=600, stale-if-error=10800");
      EXPECT_EQ(answer->get_header_value("Age"), "0");
    } else {
      // The program keeps what it shows: nothing on the page to read.
      EXPECT_EQ(textOf(read.temperatureText), "");
      EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-store");
    }
    EXPECT_NE(answer->body.find("Weather data by <a href=\"https://open-meteo.com/\">"
                                "Open-Meteo.com</a>"),
              std::string::npos);
  }
}

// The day's outlook goes from the answer through the page to what the
// program reads; each field the answer leaves out or gets wrong is left out
// on its own, and the temperatures still show.
TEST(Live, DayOutlookReachesTheProgramOrIsLeftOut) {
  auto today = [](const std::string& time, const std::string& high, const std::string& low,
                  const std::string& chance,
                  const std::string& unit =
                      "\xC2\xB0"
                      "F") {
    return ",\"daily_units\":{\"temperature_2m_max\":\"" + unit + "\",\"temperature_2m_min\":\"" +
           unit + "\",\"precipitation_probability_max\":\"%\"},\"daily\":{\"time\":[" + time +
           "],\"temperature_2m_max\":[" + high + "],\"temperature_2m_min\":[" + low +
           "],\"precipitation_probability_max\":[" + chance + "]}";
  };
  const std::string day = "\"2026-01-15\"";
  struct Case {
    const char* name;
    std::string now, today;
    std::optional<int> code;
    std::optional<bool> daytime;
    std::optional<double> highF, lowF;
    std::optional<int> chance;
  };
  const Case cases[] = {
      {"all given", kOutlookNow, kOutlookToday, 61, true, 63.0, 48.0, 40},
      {"night, thunder with hail, freezing", R"(,"weather_code":99,"is_day":0)",
       today(day, "-3.5", "-10.2", "100"), 99, false, -3.5, -10.2, 100},
      {"none asked for", "", "", {}, {}, {}, {}, {}},
      {"unknown code, odd day flag",
       R"(,"weather_code":4,"is_day":2)",
       today(day, "63", "48", "0"),
       {},
       {},
       63.0,
       48.0,
       0},
      {"code not a number", R"(,"weather_code":"61","is_day":true)", "", {}, {}, {}, {}, {}},
      {"code with a fraction", R"(,"weather_code":61.5,"is_day":1)", "", {}, true, {}, {}, {}},
      {"nulls",
       R"(,"weather_code":null,"is_day":null)",
       today(day, "null", "null", "null"),
       {},
       {},
       {},
       {},
       {}},
      {"high below low", kOutlookNow, today(day, "40", "48", "40"), 61, true, {}, {}, 40},
      {"beyond any weather", kOutlookNow, today(day, "1e9", "48", "140"), 61, true, {}, 48.0, {}},
      {"in Celsius",
       kOutlookNow,
       today(day, "17", "9", "40",
             "\xC2\xB0"
             "C"),
       61,
       true,
       {},
       {},
       40},
      {"another day", kOutlookNow, today("\"2026-01-16\"", "63", "48", "40"), 61, true, {}, {}, {}},
      {"empty series", kOutlookNow, today("", "", "", ""), 61, true, {}, {}, {}},
  };
  FakeOpenMeteo fake;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake.answer({200, forecastJson(50.4, 47.2, c.now, c.today)});
    LiveService live(fake);
    auto answer = live.get("/report/austin-tx");
    ASSERT_TRUE(answer);
    ASSERT_EQ(answer->status, 200);
    Conditions read = scanned(answer->body);
    EXPECT_EQ(textOf(read.temperatureText), "50");
    EXPECT_EQ(textOf(read.feelsLikeText), "47");
    DayOutlook shown = pageOutlook(read);
    EXPECT_EQ(shown.weatherCode, c.code);
    EXPECT_EQ(shown.daytime, c.daytime);
    EXPECT_EQ(shown.highF, c.highF);
    EXPECT_EQ(shown.lowF, c.lowF);
    EXPECT_EQ(shown.precipitationPercent, c.chance);
    // A person reading the page sees the same.
    if (c.code)
      EXPECT_NE(answer->body.find(std::string(conditionWords(*c.code)) + "</dd>"),
                std::string::npos);
  }
}

TEST(Live, AsksForTheCoordinatesInFahrenheitWithKeyAndUserAgent) {
  FakeOpenMeteo fake;
  LiveService live(fake, {}, "k&y=1");
  ASSERT_TRUE(live.get("/report/oslo-norway"));
  EXPECT_EQ(fake.lastTarget(),
            "/v1/forecast?latitude=59.9100&longitude=10.7500"
            "&current=temperature_2m,apparent_temperature,weather_code,is_day"
            "&daily=temperature_2m_max,temperature_2m_min,precipitation_probability_max"
            "&forecast_days=1&temperature_unit=fahrenheit&timezone=auto&apikey=k%26y%3D1");
  EXPECT_EQ(fake.lastUserAgent(), "skyvane-service/test");
  // The home page carries the attribution; searches for a place answer live.
  auto home = live.get("/");
  ASSERT_TRUE(home);
  EXPECT_NE(home->body.find("Open-Meteo.com"), std::string::npos);
  auto hit = live.get("/?location=Oslo");
  ASSERT_TRUE(hit);
  EXPECT_EQ(textOf(scanned(hit->body).temperatureText), "72");
}

// Any place with coordinates answers live: the world's towns by their links.
TEST(Live, WorldTownsAnswerLiveWithTheAttribution) {
  Gazetteer world = loadGazetteer(SKYVANE_TEST_DATA "/world_extract.tsv");
  ASSERT_TRUE(world.error.empty()) << world.error;
  FakeOpenMeteo fake;
  LiveService live(fake, {}, "", &world);
  auto search = live.get("/?location=Par");
  auto town = live.get(reportLink("Zurich, Switzerland", 47.36667, 8.55));
  ASSERT_TRUE(search && town);
  EXPECT_EQ(textOf(scanned(town->body).locationName), "Zurich, Switzerland");
  EXPECT_EQ(textOf(scanned(town->body).temperatureText), "72");
  EXPECT_NE(fake.lastTarget().find("latitude=47.3667&longitude=8.5500"), std::string::npos);
  for (const auto& page : {search->body, town->body, live.get("/")->body})
    EXPECT_NE(page.find("Weather data by"), std::string::npos);
}

TEST(Live, ConcurrentRequestsForOnePlaceMakeOneCall) {
  FakeOpenMeteo fake;
  fake.answer({200, forecastJson(55.4, 50.2), 300});
  CacheTimes times;
  times.maxWaiting = 100;
  LiveService live(fake, {}, "", nullptr, times);
  std::vector<std::thread> threads;
  std::atomic<int> readings{0};
  for (int i = 0; i < 100; ++i)
    threads.emplace_back([&] {
      Lookup found = live.cache.get(30.2672, -97.7431);
      if (found.reading && wholeDegrees(found.reading->temperatureF) == 55) ++readings;
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(fake.calls(), 1);
  EXPECT_EQ(readings, 100);
  // The same place written with other digits past the fourth decimal is the same key.
  live.cache.get(30.26721, -97.74309);
  EXPECT_EQ(fake.calls(), 1);
}

// Polls until the cache has landed `calls` upstream calls, at most 5 s.
bool landed(WeatherCache& cache, long long calls) {
  pollUntil([&] { return cache.stats().upstreamCalls >= calls; });
  return cache.stats().upstreamCalls == calls;
}

// Past its freshness a reading is served at once and refreshed behind it;
// a request waits for the upstream only when there is no reading at all.
TEST(Live, FreshThenStaleWhileRefreshedThenUnavailable) {
  FakeOpenMeteo fake;
  LiveService live(fake);
  const Millis start = live.clock;
  struct Step {
    Millis at;
    FakeAnswer answer;
    int calls;  // upstream calls so far, once the refresh has landed
    Served how;
    Millis fetchedAt;  // of the reading served
  };
  const Millis m10 = 10 * kMinute, h3 = 3 * kHour;
  const Step steps[] = {
      {0, {200, forecastJson(40, 35)}, 1, Served::Fetched, 0},
      {m10 - 1, {200, forecastJson(41, 36)}, 1, Served::Fresh, 0},
      {m10, {200, forecastJson(42, 37)}, 2, Served::Stale, 0},
      {m10 + 1, {200, forecastJson(43, 38)}, 2, Served::Fresh, m10},
      {21 * kMinute, {500, "down"}, 3, Served::Stale, m10},
      // After a failure the place waits before asking again.
      {21 * kMinute + 10'000, {200, forecastJson(43, 38)}, 3, Served::Stale, m10},
      {m10 + h3, {500, "down"}, 4, Served::Stale, m10},
      // Too old to stand in: this request waits for the upstream itself.
      {m10 + h3 + kMinute, {500, "{}"}, 5, Served::Unavailable, 0},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    live.clock = start + step.at;
    fake.answer(step.answer);
    Lookup found = live.cache.get(51.5074, -0.1278);
    EXPECT_EQ(found.how, step.how);
    if (step.how != Served::Unavailable) {
      ASSERT_TRUE(found.reading);
      EXPECT_EQ(found.fetchedAt, start + step.fetchedAt);
    }
    EXPECT_TRUE(landed(live.cache, step.calls));
    EXPECT_EQ(fake.calls(), step.calls);
  }
  // Nothing cached and a failing upstream: 503 with a short page.
  fake.answer({500, "down"});
  auto answer = live.get("/report/oslo-norway");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 503);
  EXPECT_NE(answer->body.find("Weather unavailable"), std::string::npos);

  auto health = live.get("/healthz?format=json");
  ASSERT_TRUE(health);
  EXPECT_NE(health->body.find("\"upstream_failures\": 4"), std::string::npos) << health->body;
  EXPECT_NE(health->body.find("\"cache_places\": 2"), std::string::npos) << health->body;
}

// A search that names one place whose weather cannot be had lists that
// place, so that it can still be chosen; its report page says 503.
TEST(Live, SearchNamingOnePlaceWithoutWeatherListsIt) {
  FakeOpenMeteo fake;
  fake.answer({500, "down"});
  LiveService live(fake);
  auto found = live.get("/?location=austin_tx");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->status, 200);
  EXPECT_EQ(found->get_header_value("Cache-Control"), "no-store");
  EXPECT_NE(found->body.find("<a class=\"resolveLinkSpecial\" href=\"/report/austin-tx\">"),
            std::string::npos)
      << found->body;
  auto report = live.get("/report/austin-tx");
  ASSERT_TRUE(report);
  EXPECT_EQ(report->status, 503);
}

// Any place's first request costs a call: a budget of 3 a minute and 5 an
// hour admits exactly that many, whatever the demand, and no more later.
TEST(Live, BudgetIsNeverExceeded) {
  FakeOpenMeteo fake;
  LiveService live(fake, {3, 5, 100, 0});
  const Millis start = live.clock;
  int place = 0;
  auto demand = [&](Millis at, int requests) {
    live.clock = start + at;
    int served = 0;
    for (int i = 0; i < requests; ++i)
      served += live.cache.get(10 + 0.01 * place++, 20).reading.has_value();
    return served;
  };
  EXPECT_EQ(demand(0, 10), 3);
  EXPECT_EQ(demand(59'999, 10), 0);
  EXPECT_EQ(demand(kMinute, 10), 2);
  EXPECT_EQ(demand(30 * kMinute, 10), 0);
  EXPECT_EQ(demand(kHour, 10), 3);
  EXPECT_EQ(fake.calls(), 8);
  auto health = live.get("/healthz");
  ASSERT_TRUE(health);
  EXPECT_NE(health->body.find("budget_left_minute 0\n"), std::string::npos) << health->body;
}

// An upstream that says "too many requests" is left alone for as long as it
// asks (bounded), without spending the budget; places with a reading are
// served it meanwhile.
TEST(Live, TooManyRequestsStopsCallsForItsRetryAfter) {
  FakeOpenMeteo fake;
  LiveService live(fake, {100, 1000, 10000, 0});
  const Millis start = live.clock;
  live.cache.get(10, 10);  // a reading to fall back on
  fake.answer({429, R"({"error":true})", 0, false, 120});
  struct Step {
    Millis at;
    double latitude;  // a new place, or 10: the one with a reading
    int calls;
    Served how;
  };
  const Step steps[] = {
      {11 * kMinute, 20, 2, Served::Unavailable},  // told to come back in 120 s
      {11 * kMinute + 1, 10, 2, Served::Stale},    // no refresh meanwhile
      {13 * kMinute - 1, 21, 2, Served::Unavailable},
      {13 * kMinute, 22, 3, Served::Unavailable},  // asks again, told again
      {13 * kMinute + 1, 23, 3, Served::Unavailable},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.at);
    live.clock = start + step.at;
    EXPECT_EQ(live.cache.get(step.latitude, 10).how, step.how);
    EXPECT_TRUE(landed(live.cache, step.calls));
  }
  EXPECT_EQ(live.budget.left(live.clock)[2], 10000 - 3);
}

// A server that sends its headers a byte at a time keeps each read within
// the read timeout; the call is abandoned at its whole deadline all the same.
TEST(Live, TrickledHeadersAreAbandonedAtTheDeadline) {
  TricklingServer trickler;
  UpstreamConfig config;
  config.baseUrl = trickler.url();
  config.readTimeoutMs = 500;
  config.deadlineMs = 800;
  OpenMeteoClient client(config);
  auto begun = std::chrono::steady_clock::now();
  UpstreamResult result = client.fetch(1, 2);
  EXPECT_FALSE(result.reading);
  EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(5));
  EXPECT_GT(trickler.bytesSent(), 3);
}

// One client's new places spend only its own share of calls; another client
// is served as before, and refreshes keep a share of the budget that new
// places cannot take.
TEST(Live, OneClientCannotSpendEveryonesCalls) {
  FakeOpenMeteo fake;
  ClientLimitSettings shares;
  shares.callBurst = 3;
  shares.callsPerHour = 0;
  ClientLimits clients(shares);
  CallBudget budget({10, 1000, 10000, 30});  // 7 for new places, 3 kept for refreshes
  std::atomic<Millis> clock{1'768'485'600'000};
  OpenMeteoClient upstream(upstreamAt(fake));
  WeatherCache cache([&](double lat, double lon) { return upstream.fetch(lat, lon); }, budget,
                     [&] { return clock.load(); }, CacheTimes{}, &clients);
  struct Ask {
    const char* client;
    double latitude;
    bool reading;
  };
  const Ask asks[] = {
      {"127.0.0.2", 1, true},  {"127.0.0.2", 2, true},  {"127.0.0.3", 3, true},
      {"127.0.0.4", 4, false},  // past its network's share
      {"127.0.1.1", 5, true},  {"127.0.3.1", 6, true},  {"127.0.4.1", 7, true},
      {"127.0.5.1", 8, true},  {"127.0.5.1", 9, false},  // the new places' part is spent
  };
  for (const Ask& ask : asks) {
    SCOPED_TRACE(ask.latitude);
    EXPECT_EQ(cache.get(ask.latitude, 0, ask.client).reading.has_value(), ask.reading);
  }
  // Later, the places being read are refreshed from the share kept for them.
  clock = clock + 11 * kMinute;
  for (double latitude : {5, 6, 7}) cache.get(latitude, 0, "127.0.6.1");
  EXPECT_TRUE(landed(cache, 10));
  EXPECT_EQ(fake.calls(), 10);
}

// The breaker: answers about one place never pause the upstream for the
// others; the upstream's own failures in a row do, after which one probe
// decides, and each failed probe pauses for longer.
TEST(Live, OnlyTheUpstreamsOwnFailuresPauseIt) {
  const Millis start = 1'768'485'600'000;
  std::atomic<Millis> clock{start};
  UpstreamResult next;
  int calls = 0;
  CallBudget budget({1000, 10000, 100000, 0});
  WeatherCache cache(
      [&](double, double) {
        ++calls;
        return next;
      },
      budget, [&] { return clock.load(); });
  const UpstreamResult ok{Reading{50, 48, start / 1000}, {}, 200};
  const UpstreamResult notCovered{std::nullopt, "status 400", 400};
  const UpstreamResult badBody{std::nullopt, "no temperatures", 200};
  const UpstreamResult down{std::nullopt, "no answer in time", 0};
  const UpstreamResult broken{std::nullopt, "status 502", 502};
  struct Step {
    const char* name;
    Millis at;
    const UpstreamResult& answer;
    int places;  // new places asked for, one after another
    int calls;   // upstream calls so far
    int served;  // of those places, how many got a reading
  };
  const Step steps[] = {
      {"a place out of coverage, again and again", 0, notCovered, 8, 8, 0},
      {"answers that fail for their place", 1'000, badBody, 8, 16, 0},
      {"others are still served", 2'000, ok, 1, 17, 1},
      {"the upstream down: five in a row pause it", 3'000, down, 7, 22, 0},
      {"paused", 62'000, ok, 3, 22, 0},
      {"then one probe; failing, it pauses twice as long", 63'000, broken, 3, 23, 0},
      {"still paused", 63'000 + 119'000, ok, 2, 23, 0},
      {"a probe answered about its place: the upstream is back", 63'000 + 120'000, notCovered, 1,
       24, 0},
      {"every place called again", 63'000 + 121'000, ok, 3, 27, 3},
      {"down again: the pause starts short again", 63'000 + 122'000, down, 6, 32, 0},
      {"the probe succeeds", 63'000 + 182'000, ok, 2, 34, 2},
  };
  double latitude = 0;
  for (const Step& step : steps) {
    SCOPED_TRACE(step.name);
    clock = start + step.at;
    next = step.answer;
    int served = 0;
    for (int i = 0; i < step.places; ++i) served += cache.get(latitude++, 0).reading.has_value();
    EXPECT_EQ(calls, step.calls);
    EXPECT_EQ(served, step.served);
  }
  // A place answered about stays answered for a while: no new call for it.
  clock = start + 63'000 + 183'000;
  cache.get(0, 0);
  EXPECT_EQ(calls, 34);
}

// Clients are counted by network: an IPv4 address by its /24, an IPv6
// address by its /64, behind a trusted proxy the address it names.
TEST(Live, ClientsAreCountedByNetwork) {
  struct Case {
    const char* address;
    const char* network;
  } cases[] = {
      {"192.0.2.254", "192.0.2.0/24"},
      {"::ffff:192.0.2.7", "192.0.2.0/24"},
      {"2001:DB8:1:2::ffff", "2001:db8:1:2::/64"},
      {"2001:db8::1", "2001:db8:0:0::/64"},
      {"2001:db8::1::2", "2001:db8::1::2"},  // not an address: itself
  };
  for (const Case& c : cases) EXPECT_EQ(networkOf(c.address), c.network) << c.address;

  ClientLimitSettings settings;
  settings.callBurst = 2;
  settings.callsPerHour = 0;
  settings.trustedProxies = {"127.0.0.1"};
  ClientLimits clients(settings);
  struct Call {
    const char* peer;
    const char* forwardedFor;
    bool allowed;
  } calls[] = {
      {"198.51.100.1", "", true},         {"198.51.100.2", "", true},
      {"198.51.100.3", "", false},  // the /24's share is spent
      {"198.51.101.3", "", true},         {"127.0.0.1", "198.51.100.9", false},
      {"127.0.0.1", "203.0.113.9", true},  // the proxy names the client
  };
  for (const Call& call : calls) {
    std::string client = clients.clientOf(call.peer, call.forwardedFor, "");
    EXPECT_EQ(clients.trySpendCall(client, 0), call.allowed)
        << call.peer << " " << call.forwardedFor;
  }
}

// Spending as fast as allowed at uneven moments, no window of a period's
// length ever holds more calls than the limit.
TEST(Budget, NoWindowHoldsMoreThanTheLimit) {
  CallBudget budget({7, 20, 1000});
  std::vector<Millis> spent;
  for (Millis now = 0; now < 3 * kHour; now += 997 + (now / 13) % 4000)
    if (budget.trySpend(now)) spent.push_back(now);
  ASSERT_GT(spent.size(), 50u);
  for (std::size_t i = 0; i < spent.size(); ++i) {
    std::size_t minute = 0, hour = 0;
    for (std::size_t j = i; j < spent.size(); ++j) {
      minute += spent[j] - spent[i] < kMinute;
      hour += spent[j] - spent[i] < kHour;
    }
    ASSERT_LE(minute, 7u) << "at " << spent[i];
    ASSERT_LE(hour, 20u) << "at " << spent[i];
  }
}

// A forecast server whose certificate no authority signed is refused, never
// read: the client checks certificates.
TEST(Live, RefusesAServerWithAnUntrustedCertificate) {
  EVP_PKEY* key = EVP_RSA_gen(2048);
  X509* certificate = X509_new();
  ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
  X509_gmtime_adj(X509_getm_notBefore(certificate), 0);
  X509_gmtime_adj(X509_getm_notAfter(certificate), 3600);
  X509_set_pubkey(certificate, key);
  X509_NAME* name = X509_get_subject_name(certificate);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(certificate, name);
  ASSERT_GT(X509_sign(certificate, key, EVP_sha256()), 0);

  httplib::SSLServer server(certificate, key);
  int calls = 0;
  server.Get("/v1/forecast", [&](const httplib::Request&, httplib::Response& response) {
    ++calls;
    response.set_content(forecastJson(70, 70), "application/json");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread thread([&] { server.listen_after_bind(); });
  UpstreamConfig config;
  config.baseUrl = "https://127.0.0.1:" + std::to_string(port);
  UpstreamResult result = OpenMeteoClient(config).fetch(1, 2);
  server.stop();
  thread.join();
  X509_free(certificate);
  EVP_PKEY_free(key);
  EXPECT_FALSE(result.reading);
  EXPECT_EQ(calls, 0);
}

}  // namespace
