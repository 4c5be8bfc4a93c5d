#pragma once
// The sample service's weather: a deterministic function of a place and a
// moment, so that a demonstration looks alive and a test knows what to expect.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "src/common/weather_code.h"

// What the model knows of a place's weather over a year.
struct Climate {
  double dailySwingF = 0;                 // warmest minus coldest hour of a day
  std::array<double, 12> monthlyMeanF{};  // January first
};

struct Weather {
  double exactF = 0;     // the model's temperature before rounding
  int temperatureF = 0;  // what the report page shows
  int feelsLikeF = 0;
  int windMph = 0;
  int humidityPercent = 0;
  // The sky at the hour, rain and snow only when the day's chance comes
  // up, and the day's high and low around the hour's temperature.
  DayOutlook outlook;
};

// Seconds since 1970-01-01T00:00:00Z.
using UnixTime = std::int64_t;

// `seed` picks the place's own wind and humidity from hour to hour.
Weather weatherAt(const Climate& climate, double longitude, std::string_view seed, UnixTime now);

// A rough climate from the latitude alone, for places with no climate data.
Climate latitudeClimate(double latitude);

// Wind chill at 50 °F or below with a wind of 3 mph or more, the heat index
// at 80 °F or above, otherwise the temperature itself.
int feelsLikeF(int temperatureF, int windMph, int humidityPercent);

// Local solar time of day in hours, [0, 24), from the longitude alone.
double solarHour(double longitude, UnixTime now);

// "2026-01-15T14:00:00Z" (the seconds and the Z may be left off).
std::optional<UnixTime> parseUtc(std::string_view text);
std::string formatUtc(UnixTime time);  // "2026-01-15 14:00 UTC"
