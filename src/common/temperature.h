#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The leading integer of `text` as atoi reads it (blanks, a sign, digits),
// saturated at the 32-bit limits; nothing when no digit follows, so that a
// missing value is never shown as 0.
std::optional<int32_t> leadingInteger(std::string_view text);

// A reading to the tenth of a degree as a report page's head gives it:
// "41.5", "-7", "100.0"; nothing for anything else, or beyond any weather.
std::optional<double> exactFahrenheit(std::string_view text);

// Whole degrees, rounded to the nearest, halves away from zero, in Celsius
// when `metric`, saturated at the 32-bit limits.
int32_t displayDegrees(double fahrenheit, bool metric);

// The whole degrees shown for a temperature that the service gives in
// degrees Fahrenheit: `text`'s leading integer, or `exactText` when it holds
// the same reading to a tenth (so Celsius is rounded from the reading
// itself, not from a number rounded once already); nothing when `text`
// holds no number.
std::optional<int32_t> toDisplayTemperature(std::string_view text, bool metric,
                                            std::string_view exactText = {});
