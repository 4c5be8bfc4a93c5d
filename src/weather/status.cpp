#include "weather/status.h"

#include "common/temperature.h"

namespace {

// Whether atoi would find digits: blanks, an optional sign, then a digit.
bool holdsNumber(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i != std::string_view::npos && (text[i] == '+' || text[i] == '-')) ++i;
  return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

}  // namespace

std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric, std::string_view asOf) {
  std::string reading = " " + std::to_string(toDisplayTemperature(temperatureText, metric)) +
                        "\xB0" + (metric ? "C" : "F");
  if (!asOf.empty()) reading += ", as of " + std::string(asOf);
  constexpr std::size_t capacity = kTipSize - 1;
  constexpr std::string_view ellipsis = "...";
  // A clock text too long for the field is never cut into something that
  // reads as another time; the age then goes unsaid.
  if (reading.size() + ellipsis.size() > capacity) {
    return tooltipText(locationName, temperatureText, metric);
  }
  if (locationName.size() + reading.size() <= capacity) {
    return std::string(locationName) + reading;
  }
  std::size_t kept = capacity - reading.size() - ellipsis.size();
  return std::string(locationName.substr(0, kept)) + std::string(ellipsis) + reading;
}

std::string trayIconText(std::string_view temperatureText, bool metric) {
  if (!holdsNumber(temperatureText)) return {};
  std::string text = std::to_string(toDisplayTemperature(temperatureText, metric));
  return text.size() <= 3 ? text : std::string();
}

bool readingIsOld(int64_t readingTime, int64_t now) {
  return now - readingTime >= kOldReadingSeconds;
}

int64_t secondsUntilOld(int64_t readingTime, int64_t now) {
  return readingIsOld(readingTime, now) ? 0 : readingTime + kOldReadingSeconds - now;
}

TrayStatus trayStatus(const TrayInputs& in) {
  bool old = in.readingTime && readingIsOld(*in.readingTime, in.now);
  TrayStatus status;
  status.tip = tooltipText(in.locationName, in.temperatureText, in.metric,
                           old ? in.clock : std::string_view());
  if (in.temperatureInIcon && in.readingTime) {
    status.iconText = trayIconText(in.temperatureText, in.metric);
  }
  status.old = old;
  return status;
}
