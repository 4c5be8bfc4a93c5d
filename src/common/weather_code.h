#pragma once
// The day's weather beside the temperature: what the sky is doing (a WMO
// weather code), whether it is day, and today's high, low and chance of
// precipitation. Shared by the service, which writes it into report pages,
// and the program, which reads it back; both use the same words.

#include <cstdint>
#include <optional>
#include <string_view>

struct DayOutlook {
  std::optional<int> weatherCode;  // a code conditionWords knows
  std::optional<bool> daytime;     // the sun is up at the place
  std::optional<double> highF;     // today's, in °F; never below lowF
  std::optional<double> lowF;
  std::optional<int> precipitationPercent;  // 0..100
};

// The words for a WMO weather code, "Light rain"; empty for a code that is
// not one of the known ones.
std::string_view conditionWords(int weatherCode);

// The kinds of condition picture a skin may have, in the order of their
// files in the skin's Conditions folder.
enum class ConditionPicture : uint8_t {
  ClearDay,
  ClearNight,
  PartlyCloudyDay,
  PartlyCloudyNight,
  Cloudy,
  Fog,
  Drizzle,
  Rain,
  FreezingRain,
  Snow,
  Thunder,
};
inline constexpr int kConditionPictureCount = 11;

// "clear-day.bmp", the picture's file name in the Conditions folder.
std::string_view conditionPictureFile(ConditionPicture picture);

// The picture for a known code; nothing for an unknown one, and nothing for
// a clear or partly cloudy sky when it is not known whether it is day.
std::optional<ConditionPicture> conditionPicture(int weatherCode, std::optional<bool> daytime);

// The outlook with every field that cannot be right left out: an unknown
// code, a temperature beyond any weather, a high below the low (both go,
// as either may be the wrong one), a chance outside 0..100.
DayOutlook plausibleOutlook(const DayOutlook& outlook);
