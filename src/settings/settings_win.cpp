#include <windows.h>

#include <string>
#include <vector>

#include "settings/settings.h"

namespace {

// The executable's full path, however long it is.
std::string executablePath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> settingsPath() { return settingsPathFor(executablePath()); }

void readKey(const std::string& path, const std::string& key, TextBuffer& value) {
  GetPrivateProfileStringA(kSettingsSection.data(), key.c_str(), "", value, kTextSize,
                           path.c_str());
}

void writeKey(const std::string& path, const std::string& key, const char* value) {
  WritePrivateProfileStringA(kSettingsSection.data(), key.c_str(), value, path.c_str());
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
}

void saveSettings(const Settings& record) {
  std::optional<std::string> path = settingsPath();
  if (!path) return;
  // Without the folder every write fails and the user's change would be lost
  // at the next start.
  std::string folder =
      path->substr(0, path->size() - kSettingsFileTail.size()) + std::string(kSettingsFolderName);
  CreateDirectoryA(folder.c_str(), nullptr);
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    writeKey(*path, urlKey(slot), record.urls[slot]);
    writeKey(*path, cityKey(slot), record.cities[slot]);
  }
  writeKey(*path, "Metric", metricValue(record.metric).data());
}
