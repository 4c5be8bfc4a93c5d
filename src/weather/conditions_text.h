#pragma once
// The day's outlook as the program shows it: read back from the texts a
// report page gave, and as the tooltip's second line.

#include <string>

#include "common/weather_code.h"
#include "weather/weather_page.h"

// The outlook the conditions' texts hold: a field whose text is not well
// formed, or not plausible, is left out, never guessed.
DayOutlook pageOutlook(const Conditions& conditions);

// Below this chance of precipitation, the tooltip does not mention it.
inline constexpr int kChanceWorthSaying = 10;

// "Light rain, high 63°, low 48°, 40% chance of rain": the words for the
// condition, the day's high and low in the unit in force (rounded as the
// temperature is; ° is the single byte 0xB0) and a chance of 10% or more,
// each only when given. Empty when none is.
std::string outlookLine(const DayOutlook& outlook, bool metric);

// The credit for the weather shown: the live source's, which its terms ask
// for wherever its data are shown, when the report came from it; else the
// sample service's name.
inline constexpr std::string_view kLiveCredit = "Weather data by Open-Meteo.com";
inline constexpr std::string_view kSampleCredit = "Sample weather service";
std::string_view weatherCredit(const Conditions& conditions);
