#pragma once
// The texts of the tray icon, and what the icon shows.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::string_view kConnectingTip = "Connecting...";
inline constexpr std::string_view kWelcomeTitle = "Welcome to Skyvane!";
inline constexpr std::string_view kWelcomeText = "Click this balloon box to search for a hometown.";

// The tip field's capacity, terminator included.
inline constexpr std::size_t kTipSize = 128;

// A reading this many seconds old, or older, is shown as old.
inline constexpr int64_t kOldReadingSeconds = 30 * 60;

// "<name> <degrees>°<unit>", the degree sign being the single byte 0xB0;
// with `asOf`, followed by ", as of <asOf>". The result always fits the tip
// field: a long name is shortened, with "...", so the temperature, the unit
// and the age stay visible.
std::string tooltipText(std::string_view locationName, std::string_view temperatureText,
                        bool metric, std::string_view asOf = {});

// What the tray icon draws for a temperature: the whole degrees shown, in
// at most three characters; empty when the text holds no number or the
// number does not fit, and the program's own icon stays.
std::string trayIconText(std::string_view temperatureText, bool metric);

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
  std::string_view clock;  // readingTime as the user reads a time of day
};

TrayStatus trayStatus(const TrayInputs& in);
