#include "weather/status.h"

#include "common/temperature.h"
#include "weather/conditions_text.h"

namespace {

constexpr std::string_view kEllipsis = "...";

// `name` followed by `rest`, the name shortened with "..." so that the whole
// fits the tip field; `rest` itself must fit with room for the ellipsis.
std::string fitTip(std::string_view name, const std::string& rest) {
  constexpr std::size_t capacity = kTipSize - 1;
  if (name.size() + rest.size() <= capacity) return std::string(name) + rest;
  std::size_t kept = capacity - rest.size() - kEllipsis.size();
  return std::string(name.substr(0, kept)) + std::string(kEllipsis) + rest;
}

}  // namespace

std::string unavailableTip(std::string_view locationName, Unavailable why) {
  if (why == Unavailable::Waiting) {
    if (locationName.empty()) return std::string(kConnectingTip);
    return fitTip(locationName, ": " + std::string(kConnectingTip));
  }
  std::string text = "weather unavailable";
  if (why == Unavailable::NoConnection) text += " (no connection)";
  if (why == Unavailable::ServiceBusy) text += " (service busy)";
  if (locationName.empty()) {
    text[0] = 'W';
    return text;
  }
  return fitTip(locationName, ": " + text);
}

std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric, std::string_view asOf, std::string_view exactText,
                        Unavailable why, std::string_view secondLine) {
  std::optional<int32_t> degrees = toDisplayTemperature(temperatureText, metric, exactText);
  if (!degrees) return unavailableTip(locationName, why);
  std::string reading = " " + std::to_string(*degrees) + "\xB0" + (metric ? "C" : "F");
  // The outlook's longest line leaves room for any reading; a longer one
  // is no line of ours and goes unsaid.
  std::string below = secondLine.empty() ? std::string() : "\n" + std::string(secondLine);
  if (reading.size() + below.size() + kEllipsis.size() > kTipSize - 1) below.clear();
  // A clock text too long for the field is never cut into something that
  // reads as another time; the age then goes unsaid.
  if (!asOf.empty() &&
      reading.size() + 8 + asOf.size() + below.size() + kEllipsis.size() <= kTipSize - 1)
    reading += ", as of " + std::string(asOf);
  return fitTip(locationName, reading + below);
}

std::string trayIconText(std::string_view temperatureText, bool metric,
                         std::string_view exactText) {
  std::optional<int32_t> degrees = toDisplayTemperature(temperatureText, metric, exactText);
  if (!degrees) return {};
  std::string text = std::to_string(*degrees);
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
  std::string_view name = in.locationName.empty() ? in.historyName : in.locationName;
  status.tip =
      tooltipText(name, in.temperatureText, in.metric, old ? in.clock : std::string_view(),
                  in.exactTemperatureText, in.unavailable, outlookLine(in.outlook, in.metric));
  if (in.temperatureInIcon && in.readingTime) {
    status.iconText = trayIconText(in.temperatureText, in.metric, in.exactTemperatureText);
  }
  status.old = old;
  return status;
}
