#pragma once
// The settings record: the three-slot location history and the unit.

#include <optional>
#include <string>
#include <string_view>

#include "common/text.h"

inline constexpr int kHistorySlots = 3;

struct Settings {
  TextBuffer urls[kHistorySlots];
  TextBuffer cities[kHistorySlots];
  bool metric;           // true: Celsius
  bool trayTemperature;  // the tray icon shows the temperature
  bool trayAlerts;       // the tray shows severe-weather alerts
};

// The one record of the program, zero-filled at start.
extern Settings settings;

inline constexpr std::string_view kSettingsSection = "General";
inline constexpr std::string_view kSettingsFolderName = "\\Setup";
inline constexpr std::string_view kSettingsFileTail = "\\Setup\\Setup.ini";
// The tray icon's option, in a section of its own: "1" on, anything else
// off. Written only when the user changes it, so the file of a user who
// never did stays as it was.
inline constexpr std::string_view kTraySection = "Tray";
inline constexpr std::string_view kTrayTemperatureKey = "Temperature";
// The alerts' option, likewise, but on unless it reads "0".
inline constexpr std::string_view kTrayAlertsKey = "Alerts";
// An optional override of the service address, read at start, never written.
inline constexpr std::string_view kServiceSection = "Service";
inline constexpr std::string_view kBaseUrlKey = "BaseUrl";

// The settings file's path: everything from the executable path's last
// backslash replaced by "\Setup\Setup.ini". No backslash gives no path.
// The result is as long as it needs to be; nothing is cut.
std::optional<std::string> settingsPathFor(std::string_view executablePath);

// The "Metric" value selects Celsius exactly when it begins with a lower-case t.
bool metricFromValue(std::string_view value);
std::string_view metricValue(bool metric);

bool trayTemperatureFromValue(std::string_view value);
std::string_view trayTemperatureValue(bool on);

bool trayAlertsFromValue(std::string_view value);
std::string_view trayAlertsValue(bool on);

// The key names of a slot, "URL0".."URL2" and "City0".."City2".
std::string urlKey(int slot);
std::string cityKey(int slot);
