#include "service/weather_model.h"

#include <gtest/gtest.h>

#include <cmath>

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

// The coldest and warmest shown temperature of the UTC day that starts at `day`.
std::pair<int, int> dayRange(const Place& p, UnixTime day) {
  int low = 1000, high = -1000;
  for (UnixTime t = day; t < day + 86400; t += 600) {
    int value = weatherAt(p, t).temperatureF;
    low = std::min(low, value);
    high = std::max(high, value);
  }
  return {low, high};
}

TEST(WeatherModel, FeelsLikeFollowsTheChartsRules) {
  struct Case {
    int temperature, wind, humidity, feelsLike;
  } cases[] = {
      {0, 15, 50, -19}, {40, 10, 50, 34},   {-20, 30, 50, -53}, {30, 3, 50, 27},   {30, 2, 50, 30},
      {50, 20, 50, 44}, {51, 20, 50, 51},   {79, 20, 95, 79},   {80, 0, 40, 80},   {90, 0, 70, 106},
      {96, 5, 65, 121}, {100, 10, 50, 118}, {86, 3, 90, 105},   {65, 25, 100, 65},
  };
  for (const auto& c : cases)
    EXPECT_EQ(feelsLikeF(c.temperature, c.wind, c.humidity), c.feelsLike)
        << c.temperature << " F, " << c.wind << " mph, " << c.humidity << "%";
}

TEST(WeatherModel, DeterministicForPlaceAndTime) {
  PlaceData again = loadPlaces(SKYVANE_SERVICE_DATA);
  for (UnixTime t : {at("2026-01-15T14:00:00Z"), at("2031-07-04T03:17:00Z")}) {
    for (std::size_t i = 0; i < shipped().size(); ++i) {
      Weather a = weatherAt(shipped()[i], t), b = weatherAt(again.places[i], t);
      EXPECT_EQ(a.temperatureF, b.temperatureF);
      EXPECT_EQ(a.feelsLikeF, b.feelsLikeF);
      EXPECT_EQ(a.windMph, b.windMph);
      EXPECT_EQ(a.humidityPercent, b.humidityPercent);
      EXPECT_EQ(a.feelsLikeF, feelsLikeF(a.temperatureF, a.windMph, a.humidityPercent));
    }
  }
  // Wind and humidity change from hour to hour, not within one.
  const Place& oslo = place("Oslo, Norway");
  int changes = 0;
  for (UnixTime t = at("2026-03-01T00:00:00Z"); t < at("2026-03-02T00:00:00Z"); t += 3600) {
    EXPECT_EQ(weatherAt(oslo, t).windMph, weatherAt(oslo, t + 3599).windMph);
    changes += weatherAt(oslo, t).windMph != weatherAt(oslo, t + 3600).windMph;
  }
  EXPECT_GT(changes, 12);
}

TEST(WeatherModel, DawnIsColdestAndMidAfternoonWarmest) {
  for (const Place& p : shipped()) {
    // One local solar day, midnight to midnight, in spring when the seasons move fast.
    UnixTime day = at("2026-04-20T00:00:00Z") - UnixTime(p.longitude / 15 * 3600);
    double coldest = 1e9, warmest = -1e9, coldHour = 0, warmHour = 0;
    for (UnixTime t = day; t < day + 86400; t += 300) {
      double value = weatherAt(p, t).exactF;
      if (value < coldest) coldest = value, coldHour = solarHour(p.longitude, t);
      if (value > warmest) warmest = value, warmHour = solarHour(p.longitude, t);
    }
    EXPECT_NEAR(coldHour, 6, 1.0) << p.name;
    EXPECT_NEAR(warmHour, 15, 1.0) << p.name;
    EXPECT_NEAR(warmest - coldest, p.dailySwingF, 1.0) << p.name;
  }
}

TEST(WeatherModel, DailyMeanFollowsTheMonthlyMeans) {
  // A day centred on the middle of a month averages that month's mean.
  struct Case {
    const char* place;
    const char* dayStart;
    int month;
  } cases[] = {
      {"Oslo, Norway", "2026-01-15T03:00:00Z", 0},
      {"Sydney, Australia", "2026-07-15T15:00:00Z", 6},
      {"Phoenix, AZ", "2026-07-16T00:00:00Z", 6},
      {"Fairbanks, AK", "2027-12-15T12:00:00Z", 11},
  };
  for (const auto& c : cases) {
    const Place& p = place(c.place);
    UnixTime start = at(c.dayStart);
    double sum = 0;
    int samples = 0;
    for (UnixTime t = start; t < start + 86400; t += 60, ++samples) sum += weatherAt(p, t).exactF;
    EXPECT_NEAR(sum / samples, p.monthlyMeanF[c.month], 0.6) << c.place;
  }
}

TEST(WeatherModel, SeasonsFollowTheHemisphere) {
  UnixTime january = at("2026-01-15T12:00:00Z"), july = at("2026-07-15T12:00:00Z");
  for (const Place& p : shipped()) {
    if (std::fabs(p.latitude) < 23.5) continue;  // the tropics barely have seasons
    double winter = weatherAt(p, p.latitude > 0 ? january : july).exactF;
    double summer = weatherAt(p, p.latitude > 0 ? july : january).exactF;
    EXPECT_GT(summer, winter + 5) << p.name;
  }
}

TEST(WeatherModel, ColdPlacesFreezeAndHotPlacesBake) {
  struct Case {
    const char* place;
    const char* day;
    bool belowZero;  // otherwise: 100 F or more
  } cases[] = {
      {"Fairbanks, AK", "2026-01-15T00:00:00Z", true},
      {"Utqiagvik, AK", "2026-02-10T00:00:00Z", true},
      {"International Falls, MN", "2026-01-15T00:00:00Z", true},
      {"Yakutsk, Russia", "2026-01-15T00:00:00Z", true},
      {"McMurdo Station, Antarctica", "2026-07-15T00:00:00Z", true},
      {"Phoenix, AZ", "2026-07-15T00:00:00Z", false},
      {"Las Vegas, NV", "2026-07-15T00:00:00Z", false},
      {"Death Valley, CA", "2026-07-15T00:00:00Z", false},
      {"Dubai, United Arab Emirates", "2026-07-25T00:00:00Z", false},
      {"Kuwait City, Kuwait", "2026-07-15T00:00:00Z", false},
  };
  for (const auto& c : cases) {
    auto [low, high] = dayRange(place(c.place), at(c.day));
    if (c.belowZero)
      EXPECT_LT(low, 0) << c.place;
    else
      EXPECT_GE(high, 100) << c.place;
  }
  // Feels-like goes with the weather: colder in the Arctic wind, hotter in the desert sun.
  UnixTime day = at("2026-01-15T00:00:00Z");
  for (UnixTime t = day; t < day + 86400; t += 3600) {
    Weather cold = weatherAt(place("Yakutsk, Russia"), t);
    EXPECT_LE(cold.feelsLikeF, cold.temperatureF);
    if (cold.windMph >= 3) {
      EXPECT_LT(cold.feelsLikeF, cold.temperatureF);
    }
  }
}

TEST(WeatherModel, UtcTimes) {
  struct Case {
    const char* text;
    std::optional<UnixTime> time;
  } cases[] = {
      {"1970-01-01T00:00:00Z", 0},
      {"2026-01-15T14:00:00Z", 1768485600},
      {"2026-01-15T14:00", 1768485600},
      {"2000-02-29T23:59:59Z", 951868799},
      {"1969-12-31T23:00:00Z", -3600},
      {"2026-13-01T00:00:00Z", std::nullopt},
      {"2026-01-15T24:00:00Z", std::nullopt},
      {"2026-01-15T14:00:00+01", std::nullopt},
      {"yesterday", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parseUtc(c.text), c.time) << c.text;
  EXPECT_EQ(formatUtc(1768485600), "2026-01-15 14:00 UTC");
  EXPECT_EQ(formatUtc(-3600), "1969-12-31 23:00 UTC");
}

}  // namespace
