#include "weather/conditions_text.h"

#include "common/temperature.h"

namespace {

// A whole number of at most `digits` digits, nothing else.
std::optional<int> smallNumber(std::string_view text, std::size_t digits) {
  if (text.empty() || text.size() > digits) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

DayOutlook pageOutlook(const Conditions& conditions) {
  DayOutlook outlook;
  outlook.weatherCode = smallNumber(textOf(conditions.weatherCodeText), 2);
  std::string_view daytime = textOf(conditions.daytimeText);
  if (daytime == "1" || daytime == "0") outlook.daytime = daytime == "1";
  outlook.highF = exactFahrenheit(textOf(conditions.highText));
  outlook.lowF = exactFahrenheit(textOf(conditions.lowText));
  outlook.precipitationPercent = smallNumber(textOf(conditions.precipitationText), 3);
  return plausibleOutlook(outlook);
}

std::string outlookLine(const DayOutlook& outlook, bool metric) {
  std::string line;
  auto part = [&](const std::string& text) {
    if (!line.empty()) line += ", ";
    line += text;
  };
  if (outlook.weatherCode) part(std::string(conditionWords(*outlook.weatherCode)));
  auto degrees = [&](double fahrenheit) {
    return std::to_string(displayDegrees(fahrenheit, metric)) + "\xB0";
  };
  if (outlook.highF) part("high " + degrees(*outlook.highF));
  if (outlook.lowF) part("low " + degrees(*outlook.lowF));
  if (outlook.precipitationPercent && *outlook.precipitationPercent >= kChanceWorthSaying)
    part(std::to_string(*outlook.precipitationPercent) + "% chance of rain");
  if (!line.empty() && line[0] >= 'a' && line[0] <= 'z') line[0] = char(line[0] - 'a' + 'A');
  return line;
}

std::string_view weatherCredit(const Conditions& conditions) {
  return textOf(conditions.sourceText) == "open-meteo" ? kLiveCredit : kSampleCredit;
}
