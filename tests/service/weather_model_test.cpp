#include "service/places/sample_places.h"
#include "service/weather/weather_model.h"

#include <gtest/gtest.h>

#include <set>

namespace {

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

const Place& place(const std::string& name) {
  for (const Place& p : shipped())
    if (p.name == name) return p;
  throw std::runtime_error("no place " + name);
}

UnixTime at(const char* utc) { return parseUtc(utc).value(); }

// Local solar midnight of a place, near the given UTC day.
UnixTime localDay(const Place& p, const char* utc) {
  return at(utc) - UnixTime(p.longitude / 15 * 3600);
}

TEST(WeatherModel, FeelsLikeFollowsTheChartsRules) {
  struct Case {
    int temperature, wind, humidity, feelsLike;
  } cases[] = {
      {0, 15, 50, -19}, {40, 10, 50, 34}, {-20, 30, 50, -53}, {30, 3, 50, 27},
      {30, 2, 50, 30},  {51, 20, 50, 51}, {79, 20, 95, 79},   {80, 0, 40, 80},
      {90, 0, 70, 106}, {96, 5, 65, 121}, {86, 3, 90, 105},   {65, 25, 100, 65},
  };
  for (const auto& c : cases)
    EXPECT_EQ(feelsLikeF(c.temperature, c.wind, c.humidity), c.feelsLike)
        << c.temperature << " F, " << c.wind << " mph, " << c.humidity << "%";
}

TEST(WeatherModel, DeterministicAndHourly) {
  PlaceData again = loadPlaces(SKYVANE_SERVICE_DATA);
  UnixTime t = at("2031-07-04T03:17:00Z");
  for (std::size_t i = 0; i < shipped().size(); ++i) {
    Weather a = weatherAt(shipped()[i], t), b = weatherAt(again.places[i], t);
    EXPECT_EQ(std::tie(a.temperatureF, a.feelsLikeF, a.windMph, a.humidityPercent),
              std::tie(b.temperatureF, b.feelsLikeF, b.windMph, b.humidityPercent));
    EXPECT_EQ(a.feelsLikeF, feelsLikeF(a.temperatureF, a.windMph, a.humidityPercent));
  }
  // Wind changes from hour to hour, not within one.
  const Place& oslo = place("Oslo, Norway");
  int changes = 0;
  for (UnixTime h = at("2026-03-01T00:00:00Z"); h < at("2026-03-02T00:00:00Z"); h += 3600) {
    EXPECT_EQ(weatherAt(oslo, h).windMph, weatherAt(oslo, h + 3599).windMph);
    changes += weatherAt(oslo, h).windMph != weatherAt(oslo, h + 3600).windMph;
  }
  EXPECT_GT(changes, 12);
}

TEST(WeatherModel, DawnIsColdestAndMidAfternoonWarmest) {
  for (const Place& p : shipped()) {
    // A spring day, when the seasons move fastest.
    UnixTime day = localDay(p, "2026-04-20T00:00:00Z");
    double coldest = 1e9, warmest = -1e9, coldHour = 0, warmHour = 0;
    for (UnixTime t = day; t < day + 86400; t += 300) {
      double value = weatherAt(p, t).exactF;
      if (value < coldest) coldest = value, coldHour = solarHour(p.longitude, t);
      if (value > warmest) warmest = value, warmHour = solarHour(p.longitude, t);
    }
    EXPECT_NEAR(coldHour, 6, 1.0) << p.name;
    EXPECT_NEAR(warmHour, 15, 1.0) << p.name;
    EXPECT_NEAR(warmest - coldest, p.climate.dailySwingF, 1.0) << p.name;
  }
}

TEST(WeatherModel, DailyMeanFollowsTheMonthlyMeans) {
  // A local day in the middle of a month averages that month's mean.
  for (const Place& p : shipped()) {
    for (auto [day, month] : {std::pair{"2026-01-15T17:00:00Z", 0}, {"2026-07-17T05:00:00Z", 6}}) {
      UnixTime start = localDay(p, day);
      double sum = 0;
      for (UnixTime t = start; t < start + 86400; t += 60) sum += weatherAt(p, t).exactF;
      EXPECT_NEAR(sum / 1440, p.climate.monthlyMeanF[month], 0.6) << p.name << " " << day;
    }
  }
}

TEST(WeatherModel, ColdPlacesFreezeAndHotPlacesBake) {
  struct Case {
    const char* place;
    const char* day;
    bool belowZero;  // otherwise: 100 F or more
  } cases[] = {
      {"Fairbanks, AK", "2026-01-15T00:00:00Z", true},
      {"International Falls, MN", "2026-01-15T00:00:00Z", true},
      {"Yakutsk, Russia", "2026-01-15T00:00:00Z", true},
      {"McMurdo Station, Antarctica", "2026-07-15T00:00:00Z", true},
      {"Phoenix, AZ", "2026-07-15T00:00:00Z", false},
      {"Death Valley, CA", "2026-07-15T00:00:00Z", false},
      {"Dubai, United Arab Emirates", "2026-07-25T00:00:00Z", false},
  };
  for (const auto& c : cases) {
    int low = 1000, high = -1000;
    for (UnixTime t = at(c.day); t < at(c.day) + 86400; t += 600) {
      low = std::min(low, weatherAt(place(c.place), t).temperatureF);
      high = std::max(high, weatherAt(place(c.place), t).temperatureF);
    }
    EXPECT_TRUE(c.belowZero ? low < 0 : high >= 100) << c.place << " " << low << ".." << high;
  }
}

// The sample's day: every field given and plausible, the hour's temperature
// between the day's low and high, snow only in the cold and rain only above
// freezing; and the sky changes with the place and the hour.
TEST(WeatherModel, SampleDayIsPlausibleAndVaries) {
  std::set<int> codes;
  std::set<bool> daytimes;
  for (const Place& p : shipped()) {
    for (UnixTime h = at("2026-01-10T00:00:00Z"); h < at("2026-01-12T00:00:00Z"); h += 3600) {
      Weather w = weatherAt(p, h);
      const DayOutlook& day = w.outlook;
      ASSERT_TRUE(day.weatherCode && day.daytime && day.highF && day.lowF &&
                  day.precipitationPercent);
      EXPECT_FALSE(conditionWords(*day.weatherCode).empty()) << *day.weatherCode;
      EXPECT_LE(*day.lowF, w.exactF + 0.05);
      EXPECT_GE(*day.highF, w.exactF - 0.05);
      auto picture = conditionPicture(*day.weatherCode, day.daytime);
      if (picture == ConditionPicture::Snow) EXPECT_LE(w.exactF, 35) << p.name;
      if (picture == ConditionPicture::Rain || picture == ConditionPicture::Drizzle)
        EXPECT_GT(w.exactF, 35) << p.name;
      codes.insert(*day.weatherCode);
      daytimes.insert(*day.daytime);
    }
  }
  EXPECT_GE(codes.size(), 8u);
  EXPECT_EQ(daytimes.size(), 2u);
}

}  // namespace
