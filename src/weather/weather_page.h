#pragma once
// The current conditions and the scan of a report page that fills them.

#include <cstdint>
#include <optional>
#include <string_view>

#include "common/text.h"

struct Conditions {
  TextBuffer locationName;
  TextBuffer temperatureText;
  TextBuffer feelsLikeText;
  // The same two readings to a tenth of a degree Fahrenheit, from the page's
  // head, when it gives them; the whole degrees shown are rounded from these.
  TextBuffer exactTemperatureText;
  TextBuffer exactFeelsLikeText;
  // The day's outlook as the page's head gives it, each text as found
  // (checked when read: see conditions_text.h); empty when not given.
  TextBuffer weatherCodeText;
  TextBuffer daytimeText;
  TextBuffer highText;
  TextBuffer lowText;
  TextBuffer precipitationText;
  // Whose data the page shows, when it says ("open-meteo"); see weatherCredit.
  TextBuffer sourceText;
};

// The current conditions, zero-filled at start.
extern Conditions conditions;

// Clears `result` and fills it from the markers of a report page, and the
// exact readings from its head marks (below). Never reads outside `page`,
// whatever its bytes.
void scanWeatherPage(std::string_view page, Conditions& result);

// Times are whole seconds since 1970-01-01 00:00 UTC.
//
// A report page may say in its head when its reading was observed:
//   <meta name="skyvane-observed" content="2026-12-07T14:05Z">
// in UTC, to the minute or to the second ("...T14:05:30Z"). Only a mark
// before the location marker counts, so nothing in the report itself can
// pass for one.
inline constexpr std::string_view kObservedMarker = "<meta name=\"skyvane-observed\" content=\"";
// The readings to a tenth of a degree Fahrenheit, as the upstream gave them,
// in the same form: content="41.5".
inline constexpr std::string_view kExactTemperatureMarker =
    "<meta name=\"skyvane-temperature\" content=\"";
inline constexpr std::string_view kExactFeelsLikeMarker =
    "<meta name=\"skyvane-feels-like\" content=\"";
// The day's outlook: the WMO weather code ("61"), whether it is day ("1" or
// "0"), today's high and low to a tenth of a degree Fahrenheit ("63.0") and
// chance of precipitation in whole percent ("40").
inline constexpr std::string_view kWeatherCodeMarker =
    "<meta name=\"skyvane-weather-code\" content=\"";
inline constexpr std::string_view kDaytimeMarker = "<meta name=\"skyvane-daytime\" content=\"";
inline constexpr std::string_view kHighMarker = "<meta name=\"skyvane-high\" content=\"";
inline constexpr std::string_view kLowMarker = "<meta name=\"skyvane-low\" content=\"";
inline constexpr std::string_view kPrecipitationMarker =
    "<meta name=\"skyvane-precipitation\" content=\"";
// Whose data the report shows, for the credit the data's licence asks for.
inline constexpr std::string_view kSourceMarker = "<meta name=\"skyvane-source\" content=\"";

// The content of the head mark that begins with `marker`, when the page has
// one before its location marker; else nothing.
std::optional<std::string_view> headMark(std::string_view page, std::string_view marker);
// A service's clock a little ahead of this computer's is no fault; a mark
// further ahead than this, or older than a reading can be, is a broken one.
inline constexpr int64_t kObservedAheadLimit = 10 * 60;
inline constexpr int64_t kObservedAgeLimit = 7 * 24 * 60 * 60;

// The time of the page's mark, when it carries one that is well formed and
// plausible for a page downloaded at `downloadedAt`; else nothing.
std::optional<int64_t> observedTime(std::string_view page, int64_t downloadedAt);

// When the page's reading was taken: its mark, else when it was downloaded.
int64_t readingTime(std::string_view page, int64_t downloadedAt);
