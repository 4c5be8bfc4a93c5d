#include <gtest/gtest.h>

#include <string>

#include "fake_open_meteo.h"
#include "service/pages/pages.h"
#include "service/places/sample_places.h"
#include "service/weather/open_meteo_answer.h"

namespace {

const std::string kUnits =
    "{\"temperature_2m\":\"\xC2\xB0"
    "F\",\"apparent_temperature\":\"\xC2\xB0"
    "F\"}";

// When a reading was observed: the upstream's local time brought back to UTC,
// and shown only when it is plausible beside the time it was fetched.
TEST(Observed, UpstreamTimeOrTheFetchTime) {
  const std::int64_t fetched = 1768485600;  // 2026-01-15T14:00:00Z
  auto answer = [](std::string time, std::string offset) {
    return "{\"utc_offset_seconds\":" + offset + ",\"current_units\":" + kUnits +
           ",\"current\":{\"time\":" + time +
           ",\"temperature_2m\":50,\"apparent_temperature\":48}}";
  };
  struct Case {
    std::string time, offset;
    std::int64_t shown;
  } cases[] = {
      {"\"2026-01-15T08:00\"", "-21600", fetched},     // CST, as the stand-in answers
      {"\"2026-01-15T13:45\"", "0", fetched - 900},    // a quarter of an hour old
      {"\"2026-01-15T15:00\"", "0", fetched},          // an hour ahead: the fetch time
      {"\"2026-01-15T09:00\"", "0", fetched},          // five hours old: the fetch time
      {"\"yesterday\"", "0", fetched},                 // not a time
      {"\"2026-01-15T13:45\"", "99999999", fetched},   // no such offset
      {"\"2026-01-15T13:45\"", "\"-3600\"", fetched},  // an offset that is no number
      {"12", "0", fetched},                            // a time that is no text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.time + " " + c.offset);
    UpstreamResult result = parseForecast(200, answer(c.time, c.offset));
    ASSERT_TRUE(result.reading);
    EXPECT_EQ(observedTime(*result.reading, fetched), c.shown);
  }
  UpstreamResult stand = parseForecast(200, forecastJson(50, 48));
  ASSERT_TRUE(stand.reading);
  EXPECT_EQ(stand.reading->observedAt, fetched);
}

// A reading is current conditions, in the units asked for, or a failure:
// never old weather shown under the time it was fetched.
TEST(Observed, OldFutureTimelessOrUnitlessReadingsFail) {
  const std::int64_t fetched = 1768485600;  // 2026-01-15T14:00:00Z
  struct Case {
    const char* name;
    std::string current, units;
    bool reading;
  } cases[] = {
      {"a quarter of an hour old", "\"time\":\"2026-01-15T13:45\"", kUnits, true},
      {"just under 3 hours old", "\"time\":\"2026-01-15T11:00\"", kUnits, true},
      {"over 3 hours old", "\"time\":\"2026-01-15T10:45\"", kUnits, false},
      {"years old", "\"time\":\"2019-06-01T12:00\"", kUnits, false},
      {"15 minutes ahead", "\"time\":\"2026-01-15T14:15\"", kUnits, true},
      {"half an hour ahead", "\"time\":\"2026-01-15T14:30\"", kUnits, false},
      {"no time", "\"interval\":900", kUnits, false},
      {"not a time", "\"time\":\"now\"", kUnits, false},
      {"no units", "\"time\":\"2026-01-15T13:45\"", "", false},
      {"units of one field only", "\"time\":\"2026-01-15T13:45\"",
       "{\"temperature_2m\":\"\xC2\xB0"
       "F\"}",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string body = "{\"utc_offset_seconds\":0,";
    if (!c.units.empty()) body += "\"current_units\":" + c.units + ",";
    body += "\"current\":{" + c.current + ",\"temperature_2m\":50,\"apparent_temperature\":48}}";
    UpstreamResult result = currentAt(parseForecast(200, body), fetched);
    EXPECT_EQ(result.reading.has_value(), c.reading) << result.error;
    EXPECT_EQ(result.status, 200);
  }
}

TEST(Observed, ReportPagesCarryTheirReadingTime) {
  PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  ASSERT_FALSE(data.places.empty());
  const Place& place = data.places.front();
  const char* mark = "<meta name=\"skyvane-observed\" content=\"2026-01-15T13:45Z\">\n";
  std::string sample = reportPage(place, weatherAt(place, 1768484700), 1768484700);
  std::string live = liveReportPage(place, 50, 48, 1768485600, 1768484700, true);
  for (const std::string& page : {sample, live})
    EXPECT_LT(page.find(mark), page.find("</head>")) << page.substr(0, 300);
}

}  // namespace
