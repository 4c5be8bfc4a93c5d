#include "service/pages/outlook_markup.h"

#include <cmath>
#include <cstdio>

namespace {

std::string meta(const char* name, const std::string& content) {
  return std::string("<meta name=\"skyvane-") + name + "\" content=\"" + content + "\">\n";
}

std::string tenths(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string degrees(double fahrenheit) {
  return std::to_string(int(std::lround(fahrenheit))) + "&deg;F";
}

}  // namespace

std::string outlookHeadMarks(const DayOutlook& outlook) {
  std::string marks;
  if (outlook.weatherCode) marks += meta("weather-code", std::to_string(*outlook.weatherCode));
  if (outlook.daytime) marks += meta("daytime", *outlook.daytime ? "1" : "0");
  if (outlook.highF) marks += meta("high", tenths(*outlook.highF));
  if (outlook.lowF) marks += meta("low", tenths(*outlook.lowF));
  if (outlook.precipitationPercent)
    marks += meta("precipitation", std::to_string(*outlook.precipitationPercent));
  return marks;
}

std::string outlookDetails(const DayOutlook& outlook) {
  std::string details;
  if (outlook.weatherCode) {
    details += "<dt>Conditions:</dt><dd class=\"value conditions\">";
    details += conditionWords(*outlook.weatherCode);
    details += "</dd>\n";
  }
  if (outlook.highF || outlook.lowF) {
    std::string range;
    if (outlook.highF) range = "High " + degrees(*outlook.highF);
    if (outlook.lowF) range += (range.empty() ? "Low " : ", low ") + degrees(*outlook.lowF);
    details += "<dt>Today:</dt><dd class=\"value today\">" + range + "</dd>\n";
  }
  if (outlook.precipitationPercent)
    details += "<dt>Chance of precipitation:</dt><dd class=\"value precipitation\">" +
               std::to_string(*outlook.precipitationPercent) + "%</dd>\n";
  return details;
}
