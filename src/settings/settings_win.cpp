#include <windows.h>

#include <string>
#include <vector>

#include "common/executable_path_win.h"
#include "common/service_url.h"
#include "settings/settings_win.h"

namespace {

std::optional<std::string> settingsPath() { return settingsPathFor(executablePath()); }

void readKey(const std::string& path, const std::string& key, TextBuffer& value) {
  GetPrivateProfileStringA(kSettingsSection.data(), key.c_str(), "", value, kTextSize,
                           path.c_str());
}

bool writeKey(const std::string& path, const std::string& key, const char* value,
              std::string_view section = kSettingsSection) {
  return WritePrivateProfileStringA(std::string(section).c_str(), key.c_str(), value,
                                    path.c_str()) != FALSE;
}

DWORD WINAPI unsavedWarningThread(void* parameter) {
  auto* text = static_cast<std::string*>(parameter);
  MessageBoxA(nullptr, text->c_str(), "Skyvane", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
  delete text;
  return 0;
}

// Once per session: every later save would fail the same way. The box has a
// thread of its own, so the user-interface thread never runs a nested modal
// loop in the middle of a change of location or unit.
void warnUnsaved(const std::string& path) {
  static bool warned = false;
  if (warned) return;
  warned = true;
  auto* text = new std::string("Skyvane cannot save its settings to " + path +
                               ".\n\nChanges to the locations and the unit will not be kept "
                               "after Skyvane closes.");
  HANDLE thread = CreateThread(nullptr, 0, unsavedWarningThread, text, 0, nullptr);
  if (thread) {
    CloseHandle(thread);
  } else {
    delete text;
  }
}

// Without the folder every write fails and the user's change would be lost
// at the next start.
void makeSettingsFolder(const std::string& path) {
  std::string folder =
      path.substr(0, path.size() - kSettingsFileTail.size()) + std::string(kSettingsFolderName);
  CreateDirectoryA(folder.c_str(), nullptr);
}

}  // namespace

void loadSettings() {
  std::optional<std::string> path = settingsPath();
  if (!path) return;
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    readKey(*path, urlKey(slot), settings.urls[slot]);
    readKey(*path, cityKey(slot), settings.cities[slot]);
  }
  TextBuffer metric{};
  readKey(*path, "Metric", metric);
  settings.metric = metricFromValue(textOf(metric));
  TextBuffer trayTemperature{};
  GetPrivateProfileStringA(kTraySection.data(), kTrayTemperatureKey.data(), "", trayTemperature,
                           kTextSize, path->c_str());
  settings.trayTemperature = trayTemperatureFromValue(textOf(trayTemperature));
  TextBuffer trayAlerts{};
  GetPrivateProfileStringA(kTraySection.data(), kTrayAlertsKey.data(), "", trayAlerts, kTextSize,
                           path->c_str());
  settings.trayAlerts = trayAlertsFromValue(textOf(trayAlerts));

  // Read, never written: the installer or the user sets it.
  TextBuffer baseUrl{};
  GetPrivateProfileStringA(kServiceSection.data(), kBaseUrlKey.data(), "", baseUrl, kTextSize,
                           path->c_str());
  useServiceBaseUrl(textOf(baseUrl));
}

bool saveSettings(const Settings& record) {
  std::optional<std::string> path = settingsPath();
  if (!path) return false;
  makeSettingsFolder(*path);
  bool saved = true;
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    saved = writeKey(*path, urlKey(slot), record.urls[slot]) && saved;
    saved = writeKey(*path, cityKey(slot), record.cities[slot]) && saved;
  }
  saved = writeKey(*path, "Metric", metricValue(record.metric).data()) && saved;
  if (!saved) warnUnsaved(*path);
  return saved;
}

namespace {

// One [Tray] line, alone: the file of a user who never changed an option
// stays as it was.
bool saveTrayLine(std::string_view key, std::string_view value) {
  std::optional<std::string> path = settingsPath();
  if (!path) return false;
  makeSettingsFolder(*path);
  bool saved = writeKey(*path, std::string(key), std::string(value).c_str(), kTraySection);
  if (!saved) warnUnsaved(*path);
  return saved;
}

}  // namespace

bool saveTraySettings(const Settings& record) {
  return saveTrayLine(kTrayTemperatureKey, trayTemperatureValue(record.trayTemperature));
}

bool saveTrayAlerts(const Settings& record) {
  return saveTrayLine(kTrayAlertsKey, trayAlertsValue(record.trayAlerts));
}
