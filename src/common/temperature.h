#pragma once

#include <cstdint>
#include <string_view>

// The whole degrees shown for a temperature text that the service gives in
// degrees Fahrenheit: the text's leading integer read as atoi reads it
// (saturated at the 32-bit limits), converted to Celsius when `metric`.
int32_t toDisplayTemperature(std::string_view text, bool metric);
