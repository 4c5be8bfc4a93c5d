#pragma once
// The day's outlook on a report page: marks in the head for the program, and
// lines of the report for a person reading the page.

#include <string>

#include "src/common/weather_code.h"

// <meta name="skyvane-weather-code" content="61">, "skyvane-daytime" ("1" or
// "0"), "skyvane-high" and "skyvane-low" (°F to a tenth, "63.0") and
// "skyvane-precipitation" (a whole percent, "40"): one for each field given.
std::string outlookHeadMarks(const DayOutlook& outlook);

// "<dt>Conditions:</dt><dd ...>Light rain</dd>" and the day's high and low
// and chance of precipitation, as entries of the report's details list.
std::string outlookDetails(const DayOutlook& outlook);
