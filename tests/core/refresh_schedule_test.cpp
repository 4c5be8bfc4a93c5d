#include "weather/refresh_schedule.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "app/instance.h"

namespace {

TEST(RefreshDelay, BacksOffFromThirtySecondsToThePeriod) {
  struct Case {
    uint32_t failures, delayMs;
  } cases[] = {
      {0, 300000},          {1, 30000},  {2, 60000},  {3, 120000},
      {4, 240000},          {5, 300000}, {6, 300000}, {40, 300000},  // far past any shift of 30 s
      {UINT32_MAX, 300000},
  };
  for (const Case& c : cases) EXPECT_EQ(refreshDelayMs(c.failures), c.delayMs) << c.failures;
}

TEST(Installation, OneKeyPerFolderWhateverItsLetterCase) {
  struct Case {
    const char* a;
    const char* b;
    bool same;
  } cases[] = {
      {"C:\\Program Files\\Skyvane", "c:\\PROGRAM FILES\\skyvane", true},
      {"C:\\Program Files\\Skyvane", "C:\\Program Files\\Skyvane2", false},
      {"C:\\A\\B", "C:\\AB", false},
      {"C:\\Caf\xc9", "C:\\Caf\xe9", false},  // only ASCII letters fold
  };
  for (const Case& c : cases) {
    EXPECT_EQ(installationKey(c.a) == installationKey(c.b), c.same) << c.a << " / " << c.b;
  }
  std::string name = installationMutexName(installationKey("C:\\Skyvane"));
  EXPECT_EQ(name.rfind("Local\\Skyvane-", 0), 0u);
  EXPECT_EQ(name.find('\\', 6), std::string::npos) << name;
}

}  // namespace
