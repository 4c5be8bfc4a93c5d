#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/settings_win.h"

namespace {

std::string settingsFile() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return *settingsPathFor(path);
}

std::string settingsFolder() {
  std::string file = settingsFile();
  return file.substr(0, file.rfind('\\'));
}

void removeSettings() {
  DeleteFileA(settingsFile().c_str());
  RemoveDirectoryA(settingsFolder().c_str());
}

std::vector<std::string> fileLines(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

Settings sampleRecord() {
  Settings record{};
  copyText(record.urls[0], "http://127.0.0.1:8642/report/oslo-no");
  copyText(record.cities[0], "Oslo, Norway");
  copyText(record.urls[1], "http://127.0.0.1:8642/report/austin-tx");
  copyText(record.cities[1], "Austin, TX 100% sun");
  record.metric = true;
  record.trayAlerts = true;  // as a file without the key gives it
  return record;
}

class SettingsFile : public testing::Test {
 protected:
  void SetUp() override {
    removeSettings();
    settings = Settings{};
  }
  void TearDown() override { removeSettings(); }
};

TEST_F(SettingsFile, MissingFileLoadsEmptyFahrenheit) {
  std::memset(&settings, 0, sizeof settings);
  loadSettings();
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    EXPECT_STREQ(settings.urls[slot], "");
    EXPECT_STREQ(settings.cities[slot], "");
  }
  EXPECT_FALSE(settings.metric);
}

TEST_F(SettingsFile, SaveCreatesTheFolderAndWritesSevenKeysInOrder) {
  saveSettings(sampleRecord());
  std::vector<std::string> expected = {"[General]",
                                       "URL0=http://127.0.0.1:8642/report/oslo-no",
                                       "City0=Oslo, Norway",
                                       "URL1=http://127.0.0.1:8642/report/austin-tx",
                                       "City1=Austin, TX 100% sun",
                                       "URL2=",
                                       "City2=",
                                       "Metric=true"};
  EXPECT_EQ(fileLines(settingsFile()), expected);
}

TEST_F(SettingsFile, SaveThenLoadGivesBackTheRecord) {
  Settings record = sampleRecord();
  saveSettings(record);
  loadSettings();
  EXPECT_EQ(std::memcmp(&settings, &record, sizeof record), 0);

  record.metric = false;
  copyText(record.urls[2], "x");
  saveSettings(record);
  loadSettings();
  EXPECT_FALSE(settings.metric);
  EXPECT_STREQ(settings.urls[2], "x");
}

TEST_F(SettingsFile, ReadsHandWrittenValues) {
  CreateDirectoryA(settingsFolder().c_str(), nullptr);
  std::string longValue(300, 'v');
  std::ofstream(settingsFile()) << "[General]\nURL0=" << longValue << "\nCity0=Oslo\nMetric=True\n";
  loadSettings();
  EXPECT_EQ(std::string(settings.urls[0]), longValue.substr(0, 255));
  EXPECT_STREQ(settings.cities[0], "Oslo");
  EXPECT_FALSE(settings.metric);  // an upper-case T is Fahrenheit

  EXPECT_FALSE(settings.trayTemperature);  // off unless the file says so
  EXPECT_TRUE(settings.trayAlerts);        // on unless the file says otherwise

  std::ofstream(settingsFile()) << "[General]\nMetric=t\n[Tray]\nTemperature=1\nAlerts=0\n";
  loadSettings();
  EXPECT_TRUE(settings.metric);
  EXPECT_TRUE(settings.trayTemperature);
  EXPECT_FALSE(settings.trayAlerts);
}

}  // namespace
