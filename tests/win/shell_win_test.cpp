#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app_win.h"
#include "app/slide_win.h"
#include "resource.h"
#include "settings/history_win.h"
#include "settings/settings.h"
#include "main_window_fixture.h"

namespace {

void writeHistory(const std::vector<std::string>& names) {
  std::vector<std::string> lines = {"[General]"};
  for (std::size_t slot = 0; slot < names.size(); ++slot) {
    lines.push_back("URL" + std::to_string(slot) + "=" + kDeadRoot + "/report/" + names[slot]);
    lines.push_back("City" + std::to_string(slot) + "=" + names[slot]);
  }
  writeSettings(lines);
}

struct MenuItem {
  UINT id;
  std::string text;  // "-" for a separator
  bool checked, grayed, popup;
  bool operator==(const MenuItem&) const = default;
};

std::ostream& operator<<(std::ostream& out, const MenuItem& item) {
  return out << "{" << item.id << " '" << item.text << "'" << (item.checked ? " checked" : "")
             << (item.grayed ? " grayed" : "") << (item.popup ? " popup" : "") << "}";
}

std::vector<MenuItem> menuItems(HMENU menu) {
  std::vector<MenuItem> items;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    char text[256] = "";
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
    info.dwTypeData = text;
    info.cch = sizeof text;
    GetMenuItemInfoA(menu, position, TRUE, &info);
    bool separator = (info.fType & MFT_SEPARATOR) != 0;
    // Some platforms report separators as grayed; only an item's state counts.
    items.push_back({info.hSubMenu ? 0u : info.wID, separator ? "-" : text,
                     (info.fState & MFS_CHECKED) != 0,
                     !separator && (info.fState & MFS_GRAYED) != 0, info.hSubMenu != nullptr});
  }
  return items;
}

std::vector<MenuItem> expectedMenu(const std::vector<std::string>& recentFromTop, UINT checkedId) {
  std::vector<MenuItem> items = {{IDM_SEARCH, "&Search for Location", false, false, false},
                                 {0, "&Metric", false, false, true},
                                 {0, "-", false, false, false},
                                 {IDM_RECENT_HEADER, "Recent Locations", false, true, false}};
  std::vector<std::string> names = recentFromTop;
  for (std::size_t i = 0; i < names.size(); ++i) {
    UINT id = IDM_RECENT_BASE + static_cast<UINT>(names.size() - 1 - i);
    items.push_back({id, names[i], id == checkedId, false, false});
  }
  std::vector<MenuItem> tail = {{0, "-", false, false, false},
                                {IDM_ABOUT, "&About", false, false, false},
                                {0, "-", false, false, false},
                                {IDM_EXIT, "E&xit", false, false, false}};
  items.insert(items.end(), tail.begin(), tail.end());
  return items;
}

using Shell = MainWindowTest;

TEST_F(Shell, WindowTakesTheSkinsSizeAndTheClassesLook) {
  start();
  char className[64];
  GetClassNameA(window, className, sizeof className);
  EXPECT_STREQ(className, "Skyvane");
  char title[64];
  GetWindowTextA(window, title, sizeof title);
  EXPECT_STREQ(title, "Skyvane");
  EXPECT_EQ(GetClassLongPtrA(window, GCL_STYLE), 0);
  EXPECT_EQ(GetClassLongPtrA(window, GCLP_HBRBACKGROUND), COLOR_SCROLLBAR + 1);
  // The system adds WS_CLIPSIBLINGS to every pop-up window.
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & ~DWORD{WS_CLIPSIBLINGS},
            static_cast<DWORD>(WS_POPUP | WS_VISIBLE | WS_SYSMENU));
  EXPECT_EQ(GetWindowLongA(window, GWL_EXSTYLE) & (WS_EX_LAYERED | WS_EX_TOOLWINDOW),
            WS_EX_LAYERED | WS_EX_TOOLWINDOW);
  RECT rect;
  GetWindowRect(window, &rect);
  EXPECT_EQ(rect.left, 0);
  EXPECT_EQ(rect.top, 0);
  EXPECT_EQ(rect.right - rect.left, 180);
  EXPECT_EQ(rect.bottom - rect.top, 90);
  EXPECT_EQ(slideState.currentY, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(slideState.opacity, 31);
  EXPECT_EQ(GetMenuDefaultItem(trayMenu, FALSE, 0), static_cast<UINT>(IDM_SEARCH));
}

TEST_F(Shell, MenuMirrorsTheHistory) {
  struct Case {
    const char* what;
    std::vector<std::string> history;
    std::vector<std::string> shownFromTop;
  } cases[] = {
      {"empty history", {}, {}},
      {"three places", {"P", "Q", "R"}, {"R", "Q", "P"}},
      {"names as they stand", {"100% & more", "%s%n"}, {"%s%n", "100% & more"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeHistory(c.history);
    settings = Settings{};
    start();
    EXPECT_EQ(menuItems(trayMenu),
              expectedMenu(c.shownFromTop, c.history.empty() ? 0 : IDM_RECENT_BASE));
    stop();
  }
}

TEST_F(Shell, RecentCommandsPromoteSaveAndRebuildTheMenu) {
  writeHistory({"P", "Q", "R"});
  start();
  SendMessageA(window, WM_COMMAND, IDM_RECENT_BASE + 1, 0);  // Q
  EXPECT_EQ(menuItems(trayMenu), expectedMenu({"R", "P", "Q"}, IDM_RECENT_BASE));
  EXPECT_STREQ(settings.cities[0], "Q");
  EXPECT_NE(readFile(settingsFile()).find("City0=Q\r\nURL1=http://127.0.0.1:9/report/P"),
            std::string::npos);

  SendMessageA(window, WM_COMMAND, IDM_RECENT_BASE + 2, 0);  // R
  EXPECT_EQ(menuItems(trayMenu), expectedMenu({"P", "Q", "R"}, IDM_RECENT_BASE));

  SendMessageA(window, WM_COMMAND, IDM_RECENT_BASE, 0);  // the current one: nothing
  EXPECT_EQ(menuItems(trayMenu), expectedMenu({"P", "Q", "R"}, IDM_RECENT_BASE));
  EXPECT_STREQ(settings.cities[0], "R");
}

TEST_F(Shell, SlotWithLinkButNoNameEndsTheItems) {
  writeSettings({"[General]", "URL0=http://127.0.0.1:9/P", "City0=P", "URL1=http://127.0.0.1:9/Q",
                 "City1=", "URL2=http://127.0.0.1:9/R", "City2=R"});
  start();
  EXPECT_EQ(menuItems(trayMenu), expectedMenu({"P"}, IDM_RECENT_BASE));
  removeRecentItems();
  removeRecentItems();  // never more than was inserted
  EXPECT_EQ(menuItems(trayMenu), expectedMenu({}, 0));
}

TEST_F(Shell, UnitCommandsSetCheckMarksSaveAndRewriteTheTooltip) {
  start();
  EXPECT_FALSE(isChecked(IDM_FAHRENHEIT));  // first run: no marks yet
  EXPECT_FALSE(isChecked(IDM_CELSIUS));
  for (int round = 0; round < 2; ++round) {  // the unit in force again does the same
    SendMessageA(window, WM_COMMAND, IDM_CELSIUS, 0);
    EXPECT_FALSE(isChecked(IDM_FAHRENHEIT));
    EXPECT_TRUE(isChecked(IDM_CELSIUS));
    EXPECT_TRUE(settings.metric);
    EXPECT_NE(readFile(settingsFile()).find("Metric=true"), std::string::npos);
    // No place yet, so no number in either unit.
    EXPECT_STREQ(trayIcon.szTip, "Connecting...");
  }
  SendMessageA(window, WM_COMMAND, IDM_FAHRENHEIT, 0);
  EXPECT_TRUE(isChecked(IDM_FAHRENHEIT));
  EXPECT_FALSE(isChecked(IDM_CELSIUS));
  EXPECT_NE(readFile(settingsFile()).find("Metric=false"), std::string::npos);
  EXPECT_STREQ(trayIcon.szTip, "Connecting...");
}

// Ends the About dialog from another thread once it is up, the way a user would.
struct DialogCloser {
  enum Way { OkButton, EscapeKey, CloseBox } way;
  bool ended = false;
};

DWORD WINAPI closeAboutDialog(void* parameter) {
  auto* closer = static_cast<DialogCloser*>(parameter);
  HWND dialog = nullptr;
  // Visible only once its controls exist and it has been initialised.
  waitFor(
      [&] {
        dialog = FindWindowA("#32770", "About");
        return dialog && IsWindowVisible(dialog);
      },
      5000);
  if (!dialog) return 0;
  switch (closer->way) {
    case DialogCloser::OkButton:
      PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_ABOUT_OK, BN_CLICKED),
                   reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_ABOUT_OK)));
      break;
    case DialogCloser::EscapeKey:
      PostMessageA(GetDlgItem(dialog, IDC_ABOUT_OK), WM_KEYDOWN, VK_ESCAPE, 0);
      break;
    case DialogCloser::CloseBox:
      PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
      break;
  }
  closer->ended = waitFor([&] { return !IsWindow(dialog); }, 5000);
  return 0;
}

TEST_F(Shell, AboutDialogEndsWithOkEscapeAndCloseBox) {
  start();
  for (auto way : {DialogCloser::OkButton, DialogCloser::EscapeKey, DialogCloser::CloseBox}) {
    DialogCloser closer{way};
    HANDLE thread = CreateThread(nullptr, 0, closeAboutDialog, &closer, 0, nullptr);
    SendMessageA(window, WM_COMMAND, IDM_ABOUT, 0);  // returns when the dialog ends
    WaitForSingleObject(thread, 10000);
    CloseHandle(thread);
    EXPECT_TRUE(closer.ended) << way;
  }
}

#ifdef SKYVANE_EXE

// Starts the real program in a folder laid out as installed, with the given
// settings file; answers its process.
PROCESS_INFORMATION startProgram(const std::string& folder, const std::string& setupIni) {
  std::string exe = folder + "\\Skyvane.exe";
  std::string built = std::string("Z:") + SKYVANE_EXE;
  for (char& c : built) {
    if (c == '/') c = '\\';
  }
  CopyFileA(built.c_str(), exe.c_str(), FALSE);
  CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
  writeFile(folder + "\\Setup\\Setup.ini", setupIni);
  return driver::startProcess(exe, folder).process;
}

HWND programWindow(DWORD processId) {
  HWND found = nullptr;
  waitFor(
      [&] {
        while ((found = FindWindowExA(nullptr, found, "Skyvane", "Skyvane")) != nullptr) {
          DWORD owner = 0;
          GetWindowThreadProcessId(found, &owner);
          if (owner == processId) return true;
        }
        return false;
      },
      10000);
  return found;
}

TEST(Program, CloseAndExitEndWithStatusZeroAndTheSettingsAsLastSaved) {
  const std::string saved =
      "[General]\r\nURL0=http://127.0.0.1:9/P\r\nCity0=P\r\nURL1=\r\nCity1=\r\nURL2=\r\n"
      "City2=\r\nMetric=false\r\n";
  struct Case {
    const char* what;
    std::vector<UINT> commands;  // before the ending message
    UINT ending;
    const char* metricAfter;
  } cases[] = {
      {"WM_CLOSE", {}, WM_CLOSE, "Metric=false"},
      {"Exit", {}, IDM_EXIT, "Metric=false"},
      {"Exit after a unit switch", {IDM_CELSIUS}, IDM_EXIT, "Metric=true"},
  };
  std::string folder = makeInstalledFolder("program");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PROCESS_INFORMATION process = startProgram(folder, saved);
    ASSERT_NE(process.hProcess, nullptr);
    WaitForInputIdle(process.hProcess, 15000);  // past the window's creation
    HWND window = programWindow(process.dwProcessId);
    ASSERT_NE(window, nullptr);
    for (UINT command : c.commands) SendMessageA(window, WM_COMMAND, command, 0);
    if (c.ending == WM_CLOSE) {
      PostMessageA(window, WM_CLOSE, 0, 0);
    } else {
      PostMessageA(window, WM_COMMAND, c.ending, 0);
    }
    ASSERT_EQ(WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD status = 1;
    GetExitCodeProcess(process.hProcess, &status);
    EXPECT_EQ(status, 0u);
    std::string file = readFile(folder + "\\Setup\\Setup.ini");
    EXPECT_NE(file.find("City0=P"), std::string::npos) << file;
    EXPECT_NE(file.find(c.metricAfter), std::string::npos) << file;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

#endif

}  // namespace
