// The real program, started in a folder laid out as installed, driven from
// this process as a user would, against the sample service on loopback.

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "resource.h"
#include "weather/status.h"
#include "weather/tray_icon.h"
#include "win_support.h"

namespace driver {

std::ostream& operator<<(std::ostream& out, const Reading& reading) {
  return out << "{" << reading.temperature << " / " << reading.feelsLike << " " << reading.unit
             << "}";
}

}  // namespace driver

namespace {

constexpr const char* kService = "http://127.0.0.1:8642";
constexpr DWORD kWaitMs = 15000;

std::string report(const std::string& slug) { return std::string(kService) + "/report/" + slug; }

std::optional<driver::Report> fetchReport(const std::string& url) {
  std::optional<std::string> page = driver::fetchUncached(url);
  return page ? driver::parseReport(*page) : std::nullopt;
}

class EndToEnd : public testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder = std::string(temp) + "skyvane-e2e-" +
             testing::UnitTest::GetInstance()->current_test_info()->name();
    driver::layOutInstalledFolder(folder, driver::windowsPath(SKYVANE_EXE),
                                  driver::windowsPath(SKYVANE_SOURCE_DIR "/Skins"));
    skin = driver::loadSkin(folder + "\\Skins");
  }

  void TearDown() override {
    if (program.process.hProcess && !driver::waitForExit(program, 0)) {
      TerminateProcess(program.process.hProcess, 1);
      WaitForSingleObject(program.process.hProcess, 5000);
    }
    driver::closeHandles(program);
    driver::removeTree(folder);
  }

  std::string settingsPath() const { return folder + "\\Setup\\Setup.ini"; }
  std::string settingsText() const { return driver::readFileText(settingsPath()); }

  // History slots as (link, name), newest first.
  void writeSettings(const std::vector<std::pair<std::string, std::string>>& history, bool metric) {
    CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
    std::string text = "[General]\r\n";
    for (std::size_t slot = 0; slot < history.size(); ++slot) {
      text += "URL" + std::to_string(slot) + "=" + history[slot].first + "\r\n";
      text += "City" + std::to_string(slot) + "=" + history[slot].second + "\r\n";
    }
    text += std::string("Metric=") + (metric ? "true" : "false") + "\r\n";
    driver::writeFileText(settingsPath(), text);
  }

  void start() {
    program = driver::startProgram(folder + "\\Skyvane.exe", folder, kWaitMs);
    ASSERT_NE(program.window, nullptr) << "no main window";
  }

  void slideIn() {
    driver::trayEvent(program.window, WM_LBUTTONUP);
    ASSERT_TRUE(driver::waitForSlideIn(program.window, kWaitMs));
  }

  // The weather moves with the clock, so the service is asked before the
  // program fetches (`before`) and again if need be after; the display must
  // show one of the two.
  void expectShows(const std::string& url, const std::optional<driver::Report>& before,
                   bool metric) {
    ASSERT_TRUE(before.has_value()) << "the service gave no report at " << url;
    std::vector<driver::Reading> expected = {driver::expectedReading(*before, metric)};
    driver::Reading shown = driver::waitForReading(program.window, skin, expected, kWaitMs);
    if (shown == expected[0]) return;
    std::optional<driver::Report> after = fetchReport(url);
    ASSERT_TRUE(after.has_value());
    expected.push_back(driver::expectedReading(*after, metric));
    shown = driver::waitForReading(program.window, skin, expected, 1000);
    EXPECT_TRUE(shown == expected[0] || shown == expected[1])
        << "shown " << shown << ", expected " << expected[0] << " or " << expected[1];
  }

  std::string folder;
  driver::Program program;
  driver::Skin skin;
};

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(EndToEnd, FirstRunBalloonSearchAndOkShowTheChosenPlace) {
  start();
  // First run: no settings yet, and the welcome balloon over the tray icon.
  EXPECT_FALSE(driver::fileExists(settingsPath()));
  bool welcomed = waitFor(
      [] {
        for (const std::string& text : driver::shownTooltips()) {
          if (contains(text, "Click this balloon box to search for a hometown.")) return true;
        }
        return false;
      },
      kWaitMs);
  EXPECT_TRUE(welcomed) << "no welcome balloon";

  driver::trayEvent(program.window, NIN_BALLOONUSERCLICK);
  HWND dialog =
      driver::waitForWindow(program.process.dwProcessId, "#32770", driver::kSearchCaption, kWaitMs);
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(driver::search(dialog, "San", kWaitMs));
  std::vector<std::string> found = driver::results(dialog);
  EXPECT_GE(found.size(), 2u);
  ASSERT_TRUE(driver::choose(dialog, "San Diego, CA")) << testing::PrintToString(found);

  std::string url = report("san-diego-ca");
  std::optional<driver::Report> before = fetchReport(url);
  driver::clickButton(dialog, IDC_OK);
  ASSERT_TRUE(driver::waitForSlideIn(program.window, kWaitMs));
  EXPECT_FALSE(IsWindow(dialog));
  expectShows(url, before, false);

  std::string saved = settingsText();
  EXPECT_TRUE(contains(saved, "URL0=" + url + "\r\nCity0=San Diego, CA\r\n")) << saved;
  EXPECT_TRUE(contains(saved, "Metric=false")) << saved;
}

TEST_F(EndToEnd, UnitSwitchesRedrawTheDigitsAndAreSaved) {
  // Anchorage in its winter shows a minus in Celsius.
  std::string url = report("anchorage-ak");
  writeSettings({{url, "Anchorage, AK"}}, false);
  std::optional<driver::Report> before = fetchReport(url);
  start();
  slideIn();
  expectShows(url, before, false);

  struct Step {
    UINT command;
    bool metric;
    const char* saved;
  } steps[] = {{IDM_CELSIUS, true, "Metric=true"}, {IDM_FAHRENHEIT, false, "Metric=false"}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.saved);
    // A unit switch redraws what was fetched at the start; nothing is fetched.
    driver::menuCommand(program.window, step.command);
    expectShows(url, before, step.metric);
    EXPECT_TRUE(contains(settingsText(), step.saved)) << settingsText();
  }
}

TEST_F(EndToEnd, RecentLocationFromTheMenuBecomesTheCurrentOne) {
  std::string austin = report("austin-tx"), oslo = report("oslo-norway"),
              anchorage = report("anchorage-ak");
  writeSettings({{austin, "Austin, TX"}, {oslo, "Oslo, Norway"}, {anchorage, "Anchorage, AK"}},
                false);
  std::optional<driver::Report> before = fetchReport(austin);
  start();
  slideIn();
  expectShows(austin, before, false);

  before = fetchReport(anchorage);
  driver::menuCommand(program.window, IDM_RECENT_BASE + 2);  // the oldest: Anchorage
  expectShows(anchorage, before, false);
  std::string saved = settingsText();
  EXPECT_TRUE(contains(saved, "URL0=" + anchorage + "\r\nCity0=Anchorage, AK\r\n")) << saved;
  EXPECT_TRUE(contains(saved, "City1=Austin, TX")) << saved;
  EXPECT_TRUE(contains(saved, "City2=Oslo, Norway")) << saved;
}

TEST_F(EndToEnd, ExitAndCloseEndWithStatusZeroAndTheSettingsAsLastSaved) {
  struct Case {
    const char* what;
    bool menuExit;
  } cases[] = {{"Exit", true}, {"WM_CLOSE", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string url = report("oslo-norway");
    writeSettings({{url, "Oslo, Norway"}}, false);
    std::optional<driver::Report> before = fetchReport(url);
    start();
    slideIn();
    driver::menuCommand(program.window, IDM_CELSIUS);
    expectShows(url, before, true);
    std::string lastSaved = settingsText();
    ASSERT_TRUE(contains(lastSaved, "Metric=true")) << lastSaved;

    if (c.menuExit) {
      driver::menuCommand(program.window, IDM_EXIT);
    } else {
      PostMessageA(program.window, WM_CLOSE, 0, 0);
    }
    std::optional<DWORD> status = driver::waitForExit(program, kWaitMs);
    ASSERT_TRUE(status.has_value()) << "still running";
    EXPECT_EQ(*status, 0u);
    EXPECT_EQ(settingsText(), lastSaved);
    driver::closeHandles(program);
  }
}

// The program in a folder of its own, its settings naming `url`; for tests
// that start more than one.
std::string layOutAnother(const std::string& name, const std::string& url) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "skyvane-e2e-" + name;
  driver::layOutInstalledFolder(folder, driver::windowsPath(SKYVANE_EXE),
                                driver::windowsPath(SKYVANE_SOURCE_DIR "/Skins"));
  CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
  driver::writeFileText(folder + "\\Setup\\Setup.ini",
                        "[General]\r\nURL0=" + url + "\r\nCity0=Oslo, Norway\r\nMetric=false\r\n");
  return folder;
}

bool waitForRequests(const driver::Listener& listener, LONG atLeast, DWORD timeoutMs) {
  return waitFor([&] { return listener.requests >= atLeast; }, timeoutMs);
}

TEST_F(EndToEnd, ResumeFromSleepFetchesAnewWithinSeconds) {
  std::optional<std::string> page = driver::fetchUncached(report("oslo-norway"));
  ASSERT_TRUE(page);
  struct Case {
    const char* what;
    std::string answer;  // empty: the download begun before the sleep hangs
  } cases[] = {{"service answers", *page}, {"download from before the sleep hangs", ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    driver::Listener listener;
    ASSERT_TRUE(driver::startListener(listener, c.answer));
    writeSettings({{listener.url("/report/oslo-norway"), "Oslo, Norway"}}, false);
    start();
    ASSERT_TRUE(waitForRequests(listener, 1, kWaitMs)) << "no download at start";
    // The program has taken in what the start set off before it "wakes".
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_BLOCK, kWaitMs, &ignored);
    LONG before = listener.requests;
    PostMessageA(program.window, WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
    EXPECT_TRUE(waitForRequests(listener, before + 1, 10000)) << "no download after the resume";
    driver::menuCommand(program.window, IDM_EXIT);
    EXPECT_EQ(driver::waitForExit(program, kWaitMs), std::optional<DWORD>(0));
    driver::closeHandles(program);
    stopListener(listener);
  }
}

TEST_F(EndToEnd, ANewTaskbarGetsTheIconAgain) {
  writeSettings({{report("oslo-norway"), "Oslo, Norway"}}, false);
  start();
  ASSERT_TRUE(driver::trayIconPresent(program.window));
  driver::dropTrayIcon(program.window);  // Explorer ends, and its icons with it
  ASSERT_FALSE(driver::trayIconPresent(program.window));
  driver::announceTaskbar(program.window);
  EXPECT_TRUE(driver::trayIconPresent(program.window));
}

TEST_F(EndToEnd, ASecondStartOfTheSameInstallationShowsTheFirstAndEnds) {
  writeSettings({{report("oslo-norway"), "Oslo, Norway"}}, false);
  start();
  driver::Program second = driver::startProgram(folder + "\\Skyvane.exe", folder, 0);
  EXPECT_EQ(driver::waitForExit(second, kWaitMs), std::optional<DWORD>(0));
  driver::closeHandles(second);
  EXPECT_EQ(driver::mainWindowCount(), 1);
  EXPECT_TRUE(driver::waitForSlideIn(program.window, kWaitMs)) << "the running one stayed out";

  // Another installation is another program, and runs beside it.
  std::string otherFolder = layOutAnother("other-installation", report("oslo-norway"));
  driver::Program other = driver::startProgram(otherFolder + "\\Skyvane.exe", otherFolder, kWaitMs);
  EXPECT_NE(other.window, nullptr);
  EXPECT_EQ(driver::mainWindowCount(), 2);
  driver::menuCommand(other.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(other, kWaitMs), std::optional<DWORD>(0));
  driver::closeHandles(other);
  driver::removeTree(otherFolder);
}

TEST_F(EndToEnd, StartedFromAnotherFolderItFindsItsSkinAndShowsTheWeather) {
  std::string url = report("oslo-norway");
  writeSettings({{url, "Oslo, Norway"}}, false);
  std::optional<driver::Report> before = fetchReport(url);
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  program = driver::startProgram(folder + "\\Skyvane.exe", temp, kWaitMs);
  ASSERT_NE(program.window, nullptr);
  driver::Image background = driver::loadBitmapFile(folder + "\\Skins\\MainWindow.bmp");
  driver::Placement shown = driver::placement(program.window);
  EXPECT_EQ(shown.rect.right - shown.rect.left, background.width);
  EXPECT_EQ(shown.rect.bottom - shown.rect.top, background.height);
  slideIn();
  expectShows(url, before, false);
}

TEST_F(EndToEnd, ExitDuringADownloadThatNeverEndsEndsAtOnce) {
  driver::Listener silent;
  ASSERT_TRUE(driver::startListener(silent, ""));
  writeSettings({{silent.url("/report/oslo-norway"), "Oslo, Norway"}}, false);
  start();
  ASSERT_TRUE(waitForRequests(silent, 1, kWaitMs));
  driver::trayEvent(program.window, WM_LBUTTONUP);  // the window answers meanwhile
  EXPECT_TRUE(driver::waitForSlideIn(program.window, kWaitMs));
  driver::menuCommand(program.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(program, 5000), std::optional<DWORD>(0));
  stopListener(silent);
}

// The tray icon as the program draws a temperature.
driver::Picture temperaturePicture(const driver::Report& report, bool metric, bool old) {
  int size = GetSystemMetrics(SM_CXSMICON);
  std::string text =
      trayIconText(std::to_string(report.temperature), metric, report.exactTemperature);
  return {size, trayIconPixels(text, size, old)};
}

TEST_F(EndToEnd, TemperatureInTheTrayIconAndOldReadingsMarked) {
  std::optional<std::string> page = driver::fetchUncached(report("oslo-norway"));
  ASSERT_TRUE(page);
  std::optional<driver::Report> oslo = driver::parseReport(*page);
  ASSERT_TRUE(oslo);
  driver::Listener service;
  ASSERT_TRUE(driver::startListener(service, driver::withObservedMark(*page, 60)));
  auto general = [&](const char* metric) {
    return "[General]\r\nURL0=" + service.url("/report/oslo-norway") +
           "\r\nCity0=Oslo, Norway\r\nURL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=" + metric +
           "\r\n";
  };
  CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
  driver::writeFileText(settingsPath(), general("false"));
  start();
  auto says = [](const char* part) {
    return [part](const std::string& tip) { return contains(tip, part); };
  };
  auto fresh = [](const std::string& tip) {
    return contains(tip, "Oslo, Norway") && !contains(tip, "as of");
  };
  const int size = GetSystemMetrics(SM_CXSMICON);
  const driver::Picture own = driver::loadIconPicture(folder + "\\Skins\\Default.ico", size);
  const driver::Picture white = temperaturePicture(*oslo, false, false);
  const driver::Picture dimmed = temperaturePicture(*oslo, false, true);
  const driver::Picture celsius = temperaturePicture(*oslo, true, false);

  // Off by default: the program's own icon, and the tooltip as ever.
  std::optional<RECT> icon = driver::waitForTrayPicture(own, kWaitMs);
  ASSERT_TRUE(icon) << "the program's icon is not in the tray";
  EXPECT_PRED1(fresh, driver::trayTooltip(*icon, fresh, kWaitMs));
  EXPECT_FALSE(driver::waitForTrayPicture(white, 0));

  driver::menuCommand(program.window, IDM_TRAY_TEMPERATURE);
  EXPECT_TRUE(driver::waitForTrayPicture(white, kWaitMs)) << "no temperature in the tray";
  EXPECT_EQ(settingsText(), general("false") + "[Tray]\r\nTemperature=1\r\n");

  // The service hands out a reading two hours old: marked old at once.
  driver::setListenerPage(service, driver::withObservedMark(*page, 2 * 3600));
  ASSERT_TRUE(driver::refresh(program.window, kWaitMs));
  EXPECT_TRUE(driver::waitForTrayPicture(dimmed, kWaitMs)) << "not dimmed";
  EXPECT_PRED1(says(", as of "), driver::trayTooltip(*icon, says(", as of "), kWaitMs));

  // Back with a new reading: both marks go at once.
  driver::setListenerPage(service, *page);
  ASSERT_TRUE(driver::refresh(program.window, kWaitMs));
  EXPECT_TRUE(driver::waitForTrayPicture(white, kWaitMs)) << "still dimmed";
  EXPECT_PRED1(fresh, driver::trayTooltip(*icon, fresh, kWaitMs));

  // The unit in force, also after Explorer was restarted.
  driver::menuCommand(program.window, IDM_CELSIUS);
  EXPECT_TRUE(driver::waitForTrayPicture(celsius, kWaitMs)) << "not in Celsius";
  driver::dropTrayIcon(program.window);
  driver::announceTaskbar(program.window);
  EXPECT_TRUE(driver::waitForTrayPicture(celsius, kWaitMs)) << "lost with the taskbar";

  // Off again: the program's own icon.
  driver::menuCommand(program.window, IDM_TRAY_TEMPERATURE);
  EXPECT_TRUE(driver::waitForTrayPicture(own, kWaitMs)) << "the program's icon did not return";
  EXPECT_EQ(settingsText(), general("true") + "[Tray]\r\nTemperature=0\r\n");
  driver::stopListener(service);
}

}  // namespace
