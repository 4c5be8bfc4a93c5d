#pragma once
// The current conditions and the scan of a report page that fills them.

#include <string_view>

#include "common/text.h"

struct Conditions {
  TextBuffer locationName;
  TextBuffer temperatureText;
  TextBuffer feelsLikeText;
};

// The current conditions, zero-filled at start.
extern Conditions conditions;

// Clears `result` and fills it from the markers of a report page. Never reads
// outside `page`, whatever its bytes.
void scanWeatherPage(std::string_view page, Conditions& result);
