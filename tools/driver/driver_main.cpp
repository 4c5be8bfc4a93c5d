// skyvane-driver: one user step on the running Skyvane per call, for
// scripts that take screenshots between the steps.
//
//   skyvane-driver wait-window            the main window is up
//   skyvane-driver balloon                a balloon is shown; prints its text
//   skyvane-driver tray left|right|balloon
//   skyvane-driver menu search|celsius|fahrenheit|about|exit|recent N
//   skyvane-driver search QUERY           in the open Search dialog; prints the results
//   skyvane-driver search-unreachable QUERY
//                                         the search warns that the service cannot be
//                                         reached; then the criteria are enabled again
//                                         and the dialog is cancelled
//   skyvane-driver drop-down              opens the results list
//   skyvane-driver choose NAME            selects a result and clicks OK
//   skyvane-driver refresh                a refresh period passes; returns when it is done
//   skyvane-driver wait-slide-in          the window stands slid in
//   skyvane-driver read SKINS             prints the digits the window shows
//   skyvane-driver condition SKINS        prints the condition picture the window shows
//                                         ("rain"), or fails when it shows none
//   skyvane-driver tooltip SKINS TEXT     points at the program's tray icon until its
//                                         tooltip holds TEXT; prints the tooltip
//   skyvane-driver wait-exit              the main window is gone
//   skyvane-driver box [MS]               a "Skyvane" message box is up; prints its text and
//                                         closes it (waits MS, default 20000)
//
// Each step waits up to 20 seconds and exits 1 when it fails.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "driver.h"
#include "resource.h"

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr DWORD kPollMs = 50;

int fail(const std::string& what) {
  std::fprintf(stderr, "skyvane-driver: %s\n", what.c_str());
  return 1;
}

HWND mainWindow() { return driver::waitForMainWindow(0, kWaitMs); }

HWND searchDialog() { return driver::waitForWindow(0, "#32770", driver::kSearchCaption, kWaitMs); }

int balloon() {
  std::string shown;
  driver::waitUntil(
      [&] {
        for (const std::string& text : driver::shownTooltips()) {
          if (!text.empty()) {
            shown = text;
            return true;
          }
        }
        return false;
      },
      kWaitMs, kPollMs);
  if (shown.empty()) return fail("no balloon shown");
  std::printf("%s\n", shown.c_str());
  return 0;
}

// A word of the command line and the message value it stands for.
struct Word {
  const char* word;
  UINT value;
};

constexpr Word kTrayEvents[] = {
    {"left", WM_LBUTTONUP}, {"right", WM_RBUTTONUP}, {"balloon", NIN_BALLOONUSERCLICK}};
constexpr Word kMenuItems[] = {{"search", IDM_SEARCH},
                               {"celsius", IDM_CELSIUS},
                               {"fahrenheit", IDM_FAHRENHEIT},
                               {"about", IDM_ABOUT},
                               {"exit", IDM_EXIT}};

template <std::size_t N>
std::optional<UINT> valueOf(const Word (&words)[N], const std::string& word) {
  for (const Word& one : words) {
    if (word == one.word) return one.value;
  }
  return std::nullopt;
}

int tray(HWND window, const std::string& button) {
  std::optional<UINT> event = valueOf(kTrayEvents, button);
  if (!event) return fail("tray: left, right or balloon");
  driver::trayEvent(window, *event);
  return 0;
}

int menu(HWND window, int argc, char** argv) {
  std::string item = argc > 2 ? argv[2] : "";
  std::optional<UINT> id = valueOf(kMenuItems, item);
  if (!id && item == "recent" && argc > 3) id = IDM_RECENT_BASE + std::atoi(argv[3]);
  if (!id) return fail("menu: search, celsius, fahrenheit, about, exit or recent N");
  driver::menuCommand(window, *id);
  return 0;
}

int search(const std::string& query) {
  HWND dialog = searchDialog();
  if (!dialog) return fail("no Search dialog");
  if (!driver::search(dialog, query, kWaitMs)) return fail("the search did not end");
  auto found = driver::results(dialog);
  if (found.empty()) return fail("nothing found for " + query);
  for (const std::string& name : found) std::printf("%s\n", name.c_str());
  return 0;
}

int searchUnreachable(const std::string& query) {
  HWND dialog = searchDialog();
  if (!dialog) return fail("no Search dialog");
  SendMessageA(GetDlgItem(dialog, IDC_QUERY), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(query.c_str()));
  driver::clickButton(dialog, IDC_SEARCH);
  HWND box = driver::waitForWindow(0, "#32770", driver::kUnreachableCaption, kWaitMs);
  if (!box) return fail("no warning that the service cannot be reached");
  char text[256] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text control
  std::printf("%s\n", text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  bool enabled = driver::waitUntil(
      [&] {
        return IsWindowEnabled(GetDlgItem(dialog, IDC_QUERY)) &&
               IsWindowEnabled(GetDlgItem(dialog, IDC_EXTENDED)) &&
               IsWindowEnabled(GetDlgItem(dialog, IDC_SEARCH));
      },
      kWaitMs, kPollMs);
  driver::clickButton(dialog, IDC_CANCEL);
  return enabled ? 0 : fail("the query, extended and Search stayed disabled");
}

int choose(const std::string& name) {
  HWND dialog = searchDialog();
  if (!dialog) return fail("no Search dialog");
  SendMessageA(GetDlgItem(dialog, IDC_RESULTS), CB_SHOWDROPDOWN, FALSE, 0);
  if (!driver::choose(dialog, name)) return fail("no result " + name);
  driver::clickButton(dialog, IDC_OK);
  return 0;
}

int messageBox(const std::string& waitMs) {
  DWORD wait = waitMs.empty() ? kWaitMs : static_cast<DWORD>(std::atoi(waitMs.c_str()));
  HWND box = driver::waitForWindow(0, "#32770", "Skyvane", wait);
  if (!box) return fail("no message box");
  char text[1024] = "";
  GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // a message box's text control
  std::printf("%s\n", text);
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}

int read(HWND window, const std::string& skins) {
  RECT rect{};
  GetWindowRect(window, &rect);
  driver::Reading reading = driver::readDisplay(driver::captureScreen(rect),
                                                driver::loadSkin(driver::windowsPath(skins)));
  std::printf("%s %s %c\n", reading.temperature.c_str(), reading.feelsLike.c_str(), reading.unit);
  return reading.temperature.empty() ? 1 : 0;
}

int condition(HWND window, const std::string& skins) {
  RECT rect{};
  GetWindowRect(window, &rect);
  std::string shown =
      driver::shownCondition(driver::captureScreen(rect), driver::windowsPath(skins));
  std::printf("%s\n", shown.c_str());
  return shown.empty() ? 1 : 0;
}

int tooltip(const std::string& skins, const std::string& wanted) {
  driver::Picture own = driver::loadIconPicture(driver::windowsPath(skins) + "\\Default.ico",
                                                GetSystemMetrics(SM_CXSMICON));
  std::optional<RECT> icon = driver::waitForTrayPicture(own, kWaitMs);
  if (!icon) return fail("the program's icon is not in the tray");
  auto holds = [&](const std::string& tip) { return tip.find(wanted) != std::string::npos; };
  std::string tip = driver::trayTooltip(*icon, holds, kWaitMs);
  std::printf("%s\n", tip.c_str());
  return holds(tip) ? 0 : fail("the tooltip does not say " + wanted);
}

}  // namespace

int main(int argc, char** argv) {
  std::string command = argc > 1 ? argv[1] : "";
  std::string argument = argc > 2 ? argv[2] : "";
  if (command == "balloon") return balloon();
  if (command == "search") return search(argument);
  if (command == "search-unreachable") return searchUnreachable(argument);
  if (command == "choose") return choose(argument);
  if (command == "box") return messageBox(argument);
  if (command == "drop-down") {
    HWND dialog = searchDialog();
    if (!dialog) return fail("no Search dialog");
    SendMessageA(GetDlgItem(dialog, IDC_RESULTS), CB_SHOWDROPDOWN, TRUE, 0);
    return 0;
  }
  if (command == "wait-exit") {
    bool gone =
        driver::waitUntil([] { return !FindWindowA("Skyvane", "Skyvane"); }, kWaitMs, kPollMs);
    return gone ? 0 : fail("the program is still running");
  }

  HWND window = mainWindow();
  if (!window) return fail("no Skyvane window");
  if (command == "wait-window") return 0;
  if (command == "tray") return tray(window, argument);
  if (command == "menu") return menu(window, argc, argv);
  if (command == "wait-slide-in") {
    return driver::waitForSlideIn(window, kWaitMs) ? 0 : fail("the window did not slide in");
  }
  if (command == "read") return read(window, argument);
  if (command == "condition") return condition(window, argument);
  if (command == "tooltip") return tooltip(argument, argc > 3 ? argv[3] : "");
  if (command == "refresh") {
    return driver::refresh(window, kWaitMs) ? 0 : fail("the refresh did not end");
  }
  return fail("unknown command '" + command + "'; see the head of driver_main.cpp");
}
