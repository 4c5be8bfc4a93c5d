#include "settings/settings.h"

Settings settings{};

std::optional<std::string> settingsPathFor(std::string_view executablePath) {
  std::size_t slash = executablePath.rfind('\\');
  if (slash == std::string_view::npos) return std::nullopt;
  std::string path(executablePath.substr(0, slash));
  path += kSettingsFileTail;
  return path;
}

bool metricFromValue(std::string_view value) { return !value.empty() && value[0] == 't'; }

std::string_view metricValue(bool metric) { return metric ? "true" : "false"; }

bool trayTemperatureFromValue(std::string_view value) { return value == "1"; }

std::string_view trayTemperatureValue(bool on) { return on ? "1" : "0"; }

bool trayAlertsFromValue(std::string_view value) { return value != "0"; }

std::string_view trayAlertsValue(bool on) { return on ? "1" : "0"; }

std::string urlKey(int slot) { return "URL" + std::to_string(slot); }

std::string cityKey(int slot) { return "City" + std::to_string(slot); }
