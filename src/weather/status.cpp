#include "weather/status.h"

#include "common/temperature.h"

std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric) {
  std::string reading = " " + std::to_string(toDisplayTemperature(temperatureText, metric)) +
                        "\xB0" + (metric ? "C" : "F");
  constexpr std::size_t capacity = kTipSize - 1;
  constexpr std::string_view ellipsis = "...";
  if (locationName.size() + reading.size() <= capacity) {
    return std::string(locationName) + reading;
  }
  std::size_t kept = capacity - reading.size() - ellipsis.size();
  return std::string(locationName.substr(0, kept)) + std::string(ellipsis) + reading;
}
