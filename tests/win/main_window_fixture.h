#pragma once
// A test that creates the program's real main window in the test process,
// in a folder laid out as installed, with a settings file of its choosing.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_win.h"
#include "settings/settings.h"
#include "weather/refresh_win.h"
#include "weather/tray_icon_win.h"
#include "win_support.h"

// The sample service that ctest starts for the Windows tests.
inline constexpr const char* kServiceRoot = "http://127.0.0.1:8642";
// A link whose download fails at once: nothing listens on the discard port.
inline constexpr const char* kDeadRoot = "http://127.0.0.1:9";

inline std::string settingsFile() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return *settingsPathFor(path);
}

inline void writeSettings(const std::vector<std::string>& lines) {
  std::string file = settingsFile();
  CreateDirectoryA(file.substr(0, file.rfind('\\')).c_str(), nullptr);
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  writeFile(file, text);
}

inline bool isChecked(UINT id) {
  return (GetMenuState(trayMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0;
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    DeleteFileA(settingsFile().c_str());
    folder = makeInstalledFolder(testing::UnitTest::GetInstance()->current_test_info()->name());
    appInstance = GetModuleHandleA(nullptr);
  }
  void TearDown() override {
    if (window) {
      removeTrayIcon();
      DestroyWindow(window);
    }
    DeleteFileA(settingsFile().c_str());
  }
  void start() {
    ASSERT_TRUE(registerMainWindowClass(appInstance));
    window = createMainWindow(appInstance);
    ASSERT_NE(window, nullptr);
    mainWindow = window;
    waitForRefresh();
  }
  // The creation sequence and the timer start a download on a worker; its
  // page arrives as a message.
  void waitForRefresh() {
    ASSERT_TRUE(waitFor([] { return !refreshRunning(); }, 15000));
  }
  void refreshAndWait() {
    refreshWeather(window, false);
    waitForRefresh();
  }
  void stop() {
    removeTrayIcon();
    DestroyWindow(window);
    window = nullptr;
    UnregisterClassA(kMainWindowClass, appInstance);
  }
  std::string folder;
  HWND window = nullptr;
};
