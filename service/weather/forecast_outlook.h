#pragma once
// Reads the day's outlook from a forecast answer: the current weather code
// and day flag, and today's high, low and chance of precipitation.

#include <nlohmann/json_fwd.hpp>

#include "src/common/weather_code.h"

// Every field the answer leaves out or gets wrong is left out; the rest are
// kept. `document` is the whole answer, a JSON object.
DayOutlook forecastOutlook(const nlohmann::json& document);

// The request's part that asks for them, one forecast day in the place's
// own time zone (the request sets timezone=auto).
inline constexpr const char* kOutlookQuery =
    "&daily=temperature_2m_max,temperature_2m_min,precipitation_probability_max"
    "&forecast_days=1";
inline constexpr const char* kOutlookCurrentFields = ",weather_code,is_day";
