#include <gtest/gtest.h>

#include <string>

#include "fake_open_meteo.h"
#include "service/pages/pages.h"
#include "service/places/sample_places.h"
#include "service/weather/open_meteo_answer.h"

namespace {

// When a reading was observed: the upstream's local time brought back to UTC,
// and shown only when it is plausible beside the time it was fetched.
TEST(Observed, UpstreamTimeOrTheFetchTime) {
  const std::int64_t fetched = 1768485600;  // 2026-01-15T14:00:00Z
  auto answer = [](std::string time, std::string offset) {
    return "{\"utc_offset_seconds\":" + offset + ",\"current\":{\"time\":" + time +
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
