// Severe-weather alerts end to end: the real program under Wine against the
// live service, whose forecast server and alert sources are stand-ins (the
// script alerts.sh starts them and names them in the environment).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "driver.h"
#include "resource.h"
#include "weather/tray_icon.h"
#include "win_support.h"

namespace {

constexpr DWORD kWaitMs = 15000;

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Balloons now shown that hold `part`.
int balloonsShowing(const std::string& part) {
  int count = 0;
  for (const std::string& text : driver::shownTooltips()) count += contains(text, part);
  return count;
}

// The alert sources' calls so far, as the stand-in counts them.
std::string sourceCalls() {
  return driver::fetchUncached(environment("SKYVANE_FAKE_ALERTS") + "/calls").value_or("?");
}

TEST(Alerts, ASevereAlertIsMarkedNamedAndBalloonedOnceAndTheOptionClearsIt) {
  const std::string service = environment("SKYVANE_ALERTS_SERVICE");
  ASSERT_FALSE(service.empty()) << "run by alerts.sh";
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  const std::string folder = std::string(temp) + "skyvane-e2e-alerts";
  driver::layOutInstalledFolder(folder, driver::windowsPath(SKYVANE_EXE),
                                driver::windowsPath(SKYVANE_SOURCE_DIR "/Skins"));
  CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
  const std::string general = "[General]\r\nURL0=" + service + "/report/austin-tx" +
                              "\r\nCity0=Austin, TX\r\nURL1=" + service +
                              "/report/toronto-canada\r\nCity1=Toronto, Canada\r\nURL2=" + service +
                              "/report/oslo-norway\r\nCity2=Oslo, Norway\r\nMetric=false\r\n";
  driver::writeFileText(folder + "\\Setup\\Setup.ini", general);

  const int size = GetSystemMetrics(SM_CXSMICON);
  // Only the mark's pixels are compared: it shows over any icon.
  driver::Picture mark{size, std::vector<uint32_t>(size_t(size) * size, kIconClear)};
  addAlertMark(mark.pixels, size);
  const driver::Picture own = driver::loadIconPicture(folder + "\\Skins\\Default.ico", size);
  const std::string usHeadline = "Tornado Warning issued for the test area";
  const std::string canadaHeadline = "Tornado Warning in effect for the test area";
  auto warned = [](const std::string& tip) { return contains(tip, "\nTornado Warning until "); };

  driver::Program program = driver::startProgram(folder + "\\Skyvane.exe", folder, kWaitMs);
  ASSERT_NE(program.window, nullptr);

  // A US place: the mark, the tooltip's line and the balloon.
  std::optional<RECT> icon = driver::waitForTrayPicture(mark, kWaitMs);
  ASSERT_TRUE(icon) << "no warning mark on the tray icon";
  EXPECT_PRED1(warned, driver::trayTooltip(*icon, warned, kWaitMs));
  EXPECT_TRUE(waitFor([&] { return balloonsShowing(usHeadline) == 1; }, kWaitMs)) << "no balloon";

  // Refreshes and a change of unit: no balloon again.
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(driver::refresh(program.window, kWaitMs));
    EXPECT_FALSE(waitFor([&] { return balloonsShowing(usHeadline) > 0; }, 1500))
        << "the balloon again at refresh " << i;
  }
  driver::menuCommand(program.window, IDM_CELSIUS);
  EXPECT_FALSE(waitFor([&] { return balloonsShowing(usHeadline) > 0; }, 1500));
  EXPECT_TRUE(driver::waitForTrayPicture(mark, 0)) << "the mark went with the refreshes";

  // A Canadian place: its own alert, once.
  driver::menuCommand(program.window, IDM_RECENT_BASE + 1);
  EXPECT_TRUE(waitFor([&] { return balloonsShowing(canadaHeadline) == 1; }, kWaitMs))
      << "no balloon for Toronto";
  EXPECT_PRED1(warned, driver::trayTooltip(*icon, warned, kWaitMs));

  // A place elsewhere: no call, no mark, no line.
  std::string before = sourceCalls();
  driver::menuCommand(program.window, IDM_RECENT_BASE + 2);  // Oslo
  EXPECT_TRUE(driver::waitForTrayPicture(own, kWaitMs)) << "the mark stayed for Oslo";
  auto plain = [](const std::string& tip) {
    return contains(tip, "Oslo, Norway") && !contains(tip, "Tornado");
  };
  EXPECT_PRED1(plain, driver::trayTooltip(*icon, plain, kWaitMs));
  EXPECT_EQ(sourceCalls(), before);

  // Back in Austin, the option off: everything goes, and is saved.
  driver::menuCommand(program.window, IDM_RECENT_BASE + 2);  // Austin
  EXPECT_TRUE(driver::waitForTrayPicture(mark, kWaitMs));
  EXPECT_EQ(balloonsShowing(usHeadline), 0) << "the balloon again on coming back";

  // Nor at the next start.
  driver::menuCommand(program.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(program, kWaitMs), DWORD{0});
  driver::closeHandles(program);
  program = driver::startProgram(folder + "\\Skyvane.exe", folder, kWaitMs);
  ASSERT_NE(program.window, nullptr);
  icon = driver::waitForTrayPicture(mark, kWaitMs);
  ASSERT_TRUE(icon) << "no mark after the new start";
  EXPECT_FALSE(waitFor([&] { return balloonsShowing(usHeadline) > 0; }, 2000))
      << "the balloon again at a new start";
  driver::menuCommand(program.window, IDM_TRAY_ALERTS);
  EXPECT_TRUE(driver::waitForTrayPicture(own, kWaitMs)) << "the mark stayed with the option off";
  auto austin = [](const std::string& tip) {
    return contains(tip, "Austin, TX") && !contains(tip, "Tornado");
  };
  EXPECT_PRED1(austin, driver::trayTooltip(*icon, austin, kWaitMs));
  std::string saved = driver::readFileText(folder + "\\Setup\\Setup.ini");
  EXPECT_TRUE(contains(saved, "[Tray]\r\nAlerts=0\r\n")) << saved;
  EXPECT_FALSE(contains(saved, "Temperature=")) << saved;

  driver::menuCommand(program.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(program, kWaitMs), DWORD{0});
  driver::closeHandles(program);
  driver::removeTree(folder);
}

}  // namespace
