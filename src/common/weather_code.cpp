#include "weather_code.h"

#include <cmath>

namespace {

struct CodeEntry {
  int code;
  std::string_view words;
  ConditionPicture picture;  // by day; the night's for the clear kinds
};

using P = ConditionPicture;
constexpr CodeEntry kCodes[] = {
    {0, "Clear", P::ClearDay},
    {1, "Mostly clear", P::ClearDay},
    {2, "Partly cloudy", P::PartlyCloudyDay},
    {3, "Cloudy", P::Cloudy},
    {45, "Fog", P::Fog},
    {48, "Fog", P::Fog},
    {51, "Light drizzle", P::Drizzle},
    {53, "Drizzle", P::Drizzle},
    {55, "Heavy drizzle", P::Drizzle},
    {56, "Freezing drizzle", P::FreezingRain},
    {57, "Freezing drizzle", P::FreezingRain},
    {61, "Light rain", P::Rain},
    {63, "Rain", P::Rain},
    {65, "Heavy rain", P::Rain},
    {66, "Freezing rain", P::FreezingRain},
    {67, "Freezing rain", P::FreezingRain},
    {71, "Light snow", P::Snow},
    {73, "Snow", P::Snow},
    {75, "Heavy snow", P::Snow},
    {77, "Snow grains", P::Snow},
    {80, "Light showers", P::Rain},
    {81, "Showers", P::Rain},
    {82, "Heavy showers", P::Rain},
    {85, "Light snow showers", P::Snow},
    {86, "Snow showers", P::Snow},
    {95, "Thunderstorm", P::Thunder},
    {96, "Thunderstorm with hail", P::Thunder},
    {99, "Thunderstorm with hail", P::Thunder},
};

const CodeEntry* entryOf(int code) {
  for (const CodeEntry& entry : kCodes)
    if (entry.code == code) return &entry;
  return nullptr;
}

// Colder or hotter than anywhere on Earth has been: the numbers are wrong.
constexpr double kColdestF = -200, kHottestF = 200;

bool plausibleF(const std::optional<double>& value) {
  return value && std::isfinite(*value) && *value >= kColdestF && *value <= kHottestF;
}

}  // namespace

std::string_view conditionWords(int weatherCode) {
  const CodeEntry* entry = entryOf(weatherCode);
  return entry ? entry->words : std::string_view();
}

std::string_view conditionPictureFile(ConditionPicture picture) {
  constexpr std::string_view kFiles[kConditionPictureCount] = {"clear-day.bmp",
                                                               "clear-night.bmp",
                                                               "partly-cloudy-day.bmp",
                                                               "partly-cloudy-night.bmp",
                                                               "cloudy.bmp",
                                                               "fog.bmp",
                                                               "drizzle.bmp",
                                                               "rain.bmp",
                                                               "freezing-rain.bmp",
                                                               "snow.bmp",
                                                               "thunder.bmp"};
  return kFiles[static_cast<int>(picture)];
}

std::optional<ConditionPicture> conditionPicture(int weatherCode, std::optional<bool> daytime) {
  const CodeEntry* entry = entryOf(weatherCode);
  if (!entry) return std::nullopt;
  bool dependsOnSun = entry->picture == P::ClearDay || entry->picture == P::PartlyCloudyDay;
  if (!dependsOnSun) return entry->picture;
  if (!daytime) return std::nullopt;
  if (*daytime) return entry->picture;
  return entry->picture == P::ClearDay ? P::ClearNight : P::PartlyCloudyNight;
}

DayOutlook plausibleOutlook(const DayOutlook& outlook) {
  DayOutlook kept = outlook;
  if (kept.weatherCode && !entryOf(*kept.weatherCode)) kept.weatherCode.reset();
  if (!plausibleF(kept.highF)) kept.highF.reset();
  if (!plausibleF(kept.lowF)) kept.lowF.reset();
  if (kept.highF && kept.lowF && *kept.highF < *kept.lowF) {
    kept.highF.reset();
    kept.lowF.reset();
  }
  if (kept.precipitationPercent &&
      (*kept.precipitationPercent < 0 || *kept.precipitationPercent > 100))
    kept.precipitationPercent.reset();
  return kept;
}
