#pragma once
// The texts of the tray icon, and what the icon shows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/weather_code.h"

inline constexpr std::string_view kConnectingTip = "Connecting...";
inline constexpr std::string_view kWelcomeTitle = "Welcome to Skyvane!";
inline constexpr std::string_view kWelcomeText = "Click this balloon box to search for a hometown.";

// The tip field's capacity, terminator included.
inline constexpr std::size_t kTipSize = 128;

// A reading this many seconds old, or older, is shown as old.
inline constexpr int64_t kOldReadingSeconds = 30 * 60;

// Why the place in force has no temperature to show.
enum class Unavailable {
  Waiting,       // its first download has not ended yet
  NoConnection,  // the service could not be reached
  ServiceBusy,   // the service answered that it cannot give the weather now
  NoReading,     // a page came without a temperature, or the download failed otherwise
};

// "<name> <degrees>°<unit>", the degree sign being the single byte 0xB0;
// with `asOf`, followed by ", as of <asOf>". The degrees are rounded from
// `exactText` when it holds the reading to a tenth (toDisplayTemperature).
// A text without a number gives unavailableTip's text instead, never a
// number. With a `secondLine` (the day's outlook), it follows on a line of
// its own. The result always fits the tip field: a long name is shortened,
// with "...", so the temperature, the unit, the age and the outlook stay
// visible.
std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric, std::string_view asOf = {}, std::string_view exactText = {},
                        Unavailable why = Unavailable::NoReading, std::string_view secondLine = {});

// "<name>: weather unavailable", with the reason when one is known
// (" (no connection)", " (service busy)"); "<name>: Connecting..." while the
// first download runs. Fits the tip field, a long name shortened.
std::string unavailableTip(std::string_view locationName, Unavailable why);

// What the tray icon draws for a temperature: the whole degrees shown, in
// at most three characters; empty when the text holds no number or the
// number does not fit, and the program's own icon stays.
std::string trayIconText(std::string_view temperatureText, bool metric,
                         std::string_view exactText = {});

// Times are whole seconds since 1970-01-01 00:00 UTC.
bool readingIsOld(int64_t readingTime, int64_t now);
// Seconds until the reading turns old; 0 once it is.
int64_t secondsUntilOld(int64_t readingTime, int64_t now);

struct TrayStatus {
  std::string tip;
  std::string iconText;  // empty: the program's own icon
  bool old;              // the icon's temperature is drawn dimmed
  // A severe alert is in force: the icon carries the warning mark.
  bool alertMark = false;
};

struct TrayInputs {
  std::string_view locationName;
  std::string_view temperatureText;
  bool metric;
  bool temperatureInIcon;              // the user's option
  std::optional<int64_t> readingTime;  // nothing until a page has been loaded
  int64_t now;
  std::string_view clock;                      // readingTime as the user reads a time of day
  std::string_view exactTemperatureText = {};  // the page's reading to a tenth, if any
  // The place's name in the history, for when no page has given one.
  std::string_view historyName = {};
  Unavailable unavailable = Unavailable::NoReading;  // why, when there is no temperature
  DayOutlook outlook = {};                           // of the same page as the temperature
};

TrayStatus trayStatus(const TrayInputs& in);
