#pragma once
// The forecast server's side of live weather, as pure functions: the request
// for a place's current conditions and the reading of the answer.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "src/common/weather_code.h"

struct Reading {
  double temperatureF = 0;
  double feelsLikeF = 0;
  // When the upstream says the conditions were observed, in seconds since
  // 1970 UTC; nullopt when the answer does not say or says nonsense.
  std::optional<std::int64_t> observedAt;
  // The place's offset from UTC, when the answer gives a plausible one.
  std::optional<int> utcOffsetS;
  // The condition and today's high, low and chance of precipitation: what
  // the answer gives of them, each checked on its own.
  DayOutlook outlook;
};

struct UpstreamResult {
  std::optional<Reading> reading;
  std::string error;     // why there is no reading
  int status = 0;        // the upstream's status, 0 when none came
  int retryAfterS = -1;  // the upstream's Retry-After in seconds, -1 when it sent none
};

// Reads a forecast answer. Anything but status 200 with a JSON object whose
// "current" holds finite, plausible "temperature_2m" and
// "apparent_temperature", and whose "current_units" says they are in °F, is
// a failure, never a reading. The result carries `status`.
UpstreamResult parseForecast(int status, std::string_view body);

// The result unless its reading was observed more than 3 hours before
// `fetchedAt` (seconds), more than 15 minutes after it, or at no time it
// says: such a reading is old weather, and fails like a wrong answer.
UpstreamResult currentAt(UpstreamResult result, std::int64_t fetchedAt);

// The time to show for a reading fetched at `fetchedAt` (seconds): the
// upstream's own, unless it lies in the future or hours before the fetch.
std::int64_t observedTime(const Reading& reading, std::int64_t fetchedAt);

// Answers larger than this are not forecasts of one place.
constexpr std::size_t kMaxForecastBytes = 64 * 1024;

// Rounds half away from zero: 72.5 gives 73, -0.5 gives -1.
int wholeDegrees(double value);

// The path and query of the forecast request, after the server's own path.
std::string forecastTarget(double latitude, double longitude, std::string_view apiKey);

// Splits "https://host:port/path" into "https://host:port" and "/path"
// (no trailing '/'); nullopt when it is not an http or https link.
std::optional<std::pair<std::string, std::string>> splitBaseUrl(std::string_view url);
