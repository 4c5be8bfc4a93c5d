#include "settings/settings.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(SettingsPath, ReplacesEverythingFromTheLastBackslash) {
  struct Case {
    std::string executable;
    std::optional<std::string> expected;
  } cases[] = {
      {"C:\\Programs\\Skyvane\\Skyvane.exe", "C:\\Programs\\Skyvane\\Setup\\Setup.ini"},
      {"C:\\Skyvane.exe", "C:\\Setup\\Setup.ini"},
      {"C:\\odd\\", "C:\\odd\\Setup\\Setup.ini"},
      {"Skyvane.exe", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(settingsPathFor(c.executable), c.expected) << c.executable;
}

TEST(SettingsPath, LongPathIsFormedWhole) {
  std::string folder = "C:\\" + std::string(300, 'a');
  std::optional<std::string> path = settingsPathFor(folder + "\\Skyvane.exe");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, folder + "\\Setup\\Setup.ini");
}

TEST(SettingsMetric, OnlyALowerCaseTSelectsCelsius) {
  struct Case {
    const char* value;
    bool metric;
  } cases[] = {{"true", true},   {"t", true}, {"tomato", true}, {"True", false}, {"TRUE", false},
               {"false", false}, {"", false}, {" true", false}, {"1", false}};
  for (const Case& c : cases) EXPECT_EQ(metricFromValue(c.value), c.metric) << c.value;
  EXPECT_EQ(metricValue(true), "true");
  EXPECT_EQ(metricValue(false), "false");
  EXPECT_TRUE(metricFromValue(metricValue(true)));
  EXPECT_FALSE(metricFromValue(metricValue(false)));
}

}  // namespace
