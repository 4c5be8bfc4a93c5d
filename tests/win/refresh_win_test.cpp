#include <windows.h>
#include <wininet.h>

#include <gtest/gtest.h>

#include <string>

#include "main_window_fixture.h"
#include "resource.h"
#include "skin/display_win.h"
#include "weather/fetch_win.h"
#include "weather/conditions_text.h"
#include "weather/status.h"
#include "weather/weather_page.h"

namespace {

const std::string kOslo = std::string(kServiceRoot) + "/report/oslo-norway";
const std::string kAustin = std::string(kServiceRoot) + "/report/austin-tx";

bool refreshTimerArmed(HWND window) {
  // A timer that exists can be killed; put it back as the refresh arms it.
  if (!KillTimer(window, TIMER_REFRESH)) return false;
  SetTimer(window, TIMER_REFRESH, kRefreshPeriodMs, nullptr);
  return true;
}

std::string expectedTip() {
  return tooltipText(textOf(conditions.locationName), textOf(conditions.temperatureText),
                     settings.metric, {}, {}, Unavailable::NoReading,
                     outlookLine(pageOutlook(conditions), settings.metric));
}

class Refresh : public MainWindowTest {
 protected:
  // The program on Oslo's page, served by a stand-in that the test controls.
  void startOnStandIn(driver::Listener& service) {
    std::optional<std::string> page = downloadPage(kOslo, {});
    ASSERT_TRUE(page);
    ASSERT_TRUE(driver::startListener(service, *page));
    writeSettings(
        {"[General]", "URL0=" + service.url("/report/oslo-norway"), "City0=Oslo, Norway"});
    start();
  }
};

TEST_F(Refresh, FirstRunGreetsWithTheBalloonAndFetchesNothing) {
  writeFile(folder + "\\Temp\\pg1A2B.tmp", "left by a run that ended mid-download");
  start();
  EXPECT_EQ(temporaryFiles(), 0);
  EXPECT_STREQ(trayIcon.szInfoTitle, "Welcome to Skyvane!");
  EXPECT_STREQ(trayIcon.szInfo, "Click this balloon box to search for a hometown.");
  EXPECT_STREQ(trayIcon.szTip, "Connecting...");
  EXPECT_EQ(trayIcon.cbSize, NOTIFYICONDATAA_V2_SIZE);
  EXPECT_EQ(trayIcon.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO));
  EXPECT_EQ(trayIcon.uCallbackMessage, WM_TRAYNOTIFY);
  EXPECT_EQ(trayIcon.uID, TRAY_ICON_ID);
  EXPECT_NE(trayIcon.hIcon, nullptr);
  EXPECT_FALSE(refreshRunning());
  EXPECT_FALSE(refreshTimerArmed(window));
  EXPECT_FALSE(isChecked(IDM_FAHRENHEIT));
  EXPECT_FALSE(isChecked(IDM_CELSIUS));
}

TEST_F(Refresh, LoadedPageFillsConditionsTooltipAndArmsTheTimer) {
  start();  // first run: balloon up
  copyText(settings.urls[0], kOslo);
  copyText(settings.cities[0], "Oslo, Norway");
  refreshAndWait();
  EXPECT_STREQ(conditions.locationName, "Oslo, Norway");
  ASSERT_NE(conditions.temperatureText[0], '\0');
  EXPECT_NE(conditions.feelsLikeText[0], '\0');
  EXPECT_EQ(std::string(trayIcon.szTip), expectedTip());
  EXPECT_EQ(std::string(trayIcon.szTip).find("Oslo, Norway "), 0u);
  EXPECT_STREQ(trayIcon.szInfo, "");
  EXPECT_STREQ(trayIcon.szInfoTitle, "");
  EXPECT_TRUE(refreshTimerArmed(window));
  EXPECT_TRUE(isChecked(IDM_FAHRENHEIT));
  EXPECT_FALSE(isChecked(IDM_CELSIUS));
}

TEST_F(Refresh, FailuresOfTheSamePlaceKeepItsReading) {
  driver::Listener service;
  startOnStandIn(service);
  ASSERT_STREQ(conditions.locationName, "Oslo, Norway");
  const Conditions shown = conditions;
  const std::string tip = trayIcon.szTip;
  driver::stopListener(service);       // the service gone: no answer at all
  settings.metric = !settings.metric;  // the check marks follow the unit all the same
  refreshAndWait();
  EXPECT_EQ(std::memcmp(&conditions, &shown, sizeof shown), 0) << conditions.locationName;
  EXPECT_EQ(trayIcon.szTip, tip);
  EXPECT_TRUE(refreshTimerArmed(window));
  EXPECT_EQ(isChecked(IDM_CELSIUS), settings.metric);
  EXPECT_NE(isChecked(IDM_FAHRENHEIT), settings.metric);
  EXPECT_EQ(temporaryFiles(), 0);  // nothing left to pass for a later page
}

// Another place whose first download fails: the window shows no number at
// all rather than the previous place's, and the tooltip says why.
TEST_F(Refresh, ANewPlaceWithoutAReadingShowsNoNumbers) {
  writeSettings({"[General]", "URL0=" + kAustin, "City0=Austin, TX"});
  start();
  ASSERT_STREQ(conditions.locationName, "Austin, TX");
  HDC screen = GetDC(window);
  ASSERT_GT(drawDisplay(screen), 2);
  struct Case {
    std::string link;
    std::string why;
  } cases[] = {
      {std::string(kDeadRoot) + "/report/oslo-norway", " (no connection)"},
      {std::string(kServiceRoot) + "/status/503/report/oslo-norway", " (service busy)"},
      {std::string(kServiceRoot) + "/status/404/report/oslo-norway", ""},
      {std::string(kServiceRoot) + "/empty/report/oslo-norway", ""},
      {std::string(kServiceRoot) + "/cut/report/oslo-norway", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    copyText(settings.urls[0], c.link);
    copyText(settings.cities[0], "Oslo, Norway");
    refreshAndWait();
    EXPECT_EQ(std::string(trayIcon.szTip), "Oslo, Norway: weather unavailable" + c.why);
    EXPECT_EQ(drawDisplay(screen), 2);  // the background and the unit glyph
    EXPECT_TRUE(refreshTimerArmed(window));
    EXPECT_EQ(temporaryFiles(), 0);
    // Back to a place with weather for the next one.
    copyText(settings.urls[0], kAustin);
    refreshAndWait();
    ASSERT_STREQ(conditions.locationName, "Austin, TX");
  }
  ReleaseDC(window, screen);
}

TEST_F(Refresh, OnlyAPageOfTheCurrentLocationIsApplied) {
  writeSettings({"[General]", "URL0=" + kOslo, "City0=Oslo, Norway"});
  start();
  const Conditions shown = conditions;
  std::optional<std::string> austin = downloadPage(kAustin, {});
  ASSERT_TRUE(austin);
  // Late, for a location that is no longer the current one: dropped, and the
  // timer left to the current location's own download.
  KillTimer(window, TIMER_REFRESH);
  applyReport(window, kAustin, austin);
  EXPECT_EQ(std::memcmp(&conditions, &shown, sizeof shown), 0);
  EXPECT_FALSE(refreshTimerArmed(window));
  applyReport(window, kOslo, austin);
  EXPECT_STREQ(conditions.locationName, "Austin, TX");
  EXPECT_TRUE(refreshTimerArmed(window));
}

TEST_F(Refresh, RequestsWhileADownloadRunsRunOnceAfterIt) {
  driver::Listener service;
  startOnStandIn(service);
  LONG before = service.requests;
  // The page of the first cannot arrive before this thread serves its
  // messages, so the others find it running.
  for (int tick = 0; tick < 3; ++tick) refreshWeather(window, false);
  waitForRefresh();
  EXPECT_EQ(service.requests - before, 2);
  EXPECT_STREQ(conditions.locationName, "Oslo, Norway");
  driver::stopListener(service);
}

TEST_F(Refresh, PageWithoutMarkersEmptiesTheConditions) {
  writeSettings({"[General]", "URL0=" + std::string(kServiceRoot) + "/nomarkers/report/oslo-norway",
                 "City0=Oslo, Norway"});
  start();
  EXPECT_STREQ(conditions.locationName, "");
  EXPECT_STREQ(trayIcon.szTip, "Oslo, Norway: weather unavailable");
  EXPECT_TRUE(refreshTimerArmed(window));
}

TEST_F(Refresh, UnitSwitchRewritesTheTooltipAndFetchesNothing) {
  writeSettings({"[General]", "URL0=" + kAustin, "City0=Austin, TX"});
  start();
  const Conditions shown = conditions;
  SendMessageA(window, WM_COMMAND, IDM_CELSIUS, 0);
  EXPECT_FALSE(refreshRunning());
  EXPECT_EQ(std::memcmp(&conditions, &shown, sizeof shown), 0);
  EXPECT_EQ(std::string(trayIcon.szTip), expectedTip());
  EXPECT_NE(std::string(trayIcon.szTip)
                .find("\xB0"
                      "C"),
            std::string::npos);
}

TEST_F(Refresh, LongAndPercentNamesInTheTooltip) {
  start();
  copyText(conditions.temperatureText, "-40");
  struct Case {
    std::string name;
    std::string tip;
  } cases[] = {
      {"100% %s%d",
       "100% %s%d -40\xB0"
       "F"},
      {std::string(200, 'n'), std::string(127 - 6 - 3, 'n') + "... -40\xB0"
                                                              "F"},
  };
  for (const Case& c : cases) {
    copyText(conditions.locationName, c.name);
    refreshWeather(window, true);
    EXPECT_EQ(std::string(trayIcon.szTip), c.tip);
  }
}

TEST_F(Refresh, AReadingTurnsOldOnItsOwnAndANewOneClearsTheMark) {
  std::optional<std::string> page = downloadPage(kOslo, {});
  ASSERT_TRUE(page);
  // Observed a few seconds short of the age at which it counts as old.
  driver::Listener service;
  ASSERT_TRUE(driver::startListener(service, driver::withObservedMark(*page, 1794)));
  writeSettings({"[General]", "URL0=" + service.url("/report/oslo-norway"), "City0=Oslo, Norway",
                 "[Tray]", "Temperature=1"});
  start();
  auto old = [] { return std::string(trayIcon.szTip).find(", as of ") != std::string::npos; };
  ASSERT_FALSE(old()) << trayIcon.szTip;
  const HICON fresh = trayIcon.hIcon;
  const LONG requests = service.requests;
  EXPECT_TRUE(waitFor(old, 15000)) << trayIcon.szTip;
  EXPECT_EQ(service.requests, requests) << "the mark needs no download";
  EXPECT_NE(trayIcon.hIcon, fresh) << "the icon was not dimmed";
  driver::setListenerPage(service, *page);
  refreshAndWait();
  EXPECT_FALSE(old()) << trayIcon.szTip;
  driver::stopListener(service);
}

TEST(PageFetch, LoadsThePageFileAsText) {
  std::string file = makeInstalledFolder("load") + "\\Temp\\page.tmp";
  struct Case {
    std::string file;
    std::optional<std::string> page;
  } cases[] = {
      {"a\r\nb\r\n", "a\nb\n"},
      {"page\x1a"
       "after",
       "page"},
      {"", ""},  // an empty file is a page of length 0
      {std::string(kPageLimit, 'x'), std::string(kPageLimit, 'x')},
      {std::string(kPageLimit + 1, 'x'), std::nullopt},  // too large: no page
  };
  for (const Case& c : cases) {
    writeFile(file, c.file);
    EXPECT_EQ(loadPageFile(file), c.page) << c.file.size();
  }
  DeleteFileA(file.c_str());
  EXPECT_EQ(loadPageFile(file), std::nullopt);
}

TEST(PageFetch, EachDownloadHasAFileOfItsOwnDeletedAfterLoading) {
  makeInstalledFolder("ownfile");
  std::optional<std::string> first = newPageFile(), second = newPageFile();
  ASSERT_TRUE(first && second);
  EXPECT_NE(*first, *second);
  ASSERT_TRUE(downloadPage(*first, kOslo, {}));
  EXPECT_FALSE(fileExists(*first));
  EXPECT_FALSE(downloadPage(*second, std::string(kDeadRoot) + "/report/oslo-norway", {}));
  EXPECT_FALSE(fileExists(*second));
}

TEST(PageFetch, CreatesAMissingCacheFolder) {
  std::string folder = makeInstalledFolder("nocache");
  RemoveDirectoryA((folder + "\\Temp").c_str());
  std::optional<std::string> page = downloadPage(kOslo, {});
  ASSERT_TRUE(page);
  EXPECT_NE(page->find("currentWeather"), std::string::npos);
}

bool inInternetCache(const std::string& link) {
  DWORD size = 0;
  GetUrlCacheEntryInfoA(link.c_str(), nullptr, &size);
  return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TEST(PageFetch, EvictsTheNonEmptyLinksOfTheList) {
  makeInstalledFolder("evict");
  const std::string links[] = {kOslo, kAustin};
  for (const std::string& link : links) downloadPage(link, {});
  if (!inInternetCache(kOslo) || !inInternetCache(kAustin)) {
    GTEST_SKIP() << "this platform's downloads leave no internet cache entries";
  }
  const std::string evict[] = {kOslo, "", ""};
  std::optional<std::string> page =
      downloadPage(std::string(kServiceRoot) + "/report/paris-france", evict);
  ASSERT_TRUE(page);
  EXPECT_FALSE(inInternetCache(kOslo));
  EXPECT_TRUE(inInternetCache(kAustin));
}

}  // namespace
