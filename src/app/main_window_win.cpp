#include <windows.h>

#include <cstdlib>

#include "app/about_win.h"
#include "app/app_win.h"
#include "app/slide_win.h"
#include "resource.h"
#include "search/search_dialog_win.h"
#include "settings/history_win.h"
#include "settings/settings_win.h"
#include "skin/display_win.h"
#include "skin/skin_win.h"
#include "weather/fetch_win.h"
#include "weather/local_service_win.h"
#include "weather/refresh_win.h"
#include "weather/tray_icon_win.h"

namespace {

// Sent to every top-level window when the taskbar is made anew.
UINT taskbarCreatedMessage = 0;

INT_PTR CALLBACK aboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) prepareAboutBox(dialog);
  if (message == WM_DESTROY) releaseDialogPictures(dialog);
  if (message == WM_COMMAND) {
    WORD command = LOWORD(wParam);
    if (command == IDCANCEL || command == IDC_ABOUT_OK) EndDialog(dialog, command);
  }
  // FALSE for WM_INITDIALOG too: the dialog sets no default focus.
  return FALSE;
}

void initMainWindow(HWND window) {
  taskbarCreatedMessage = RegisterWindowMessageA("TaskbarCreated");
  loadSettings();
  startLocalService();
  prepareSkin(window);
  addTrayIcon(window);
  HMENU menu = LoadMenuA(appInstance, MAKEINTRESOURCEA(IDR_POPUP));
  trayMenu = GetSubMenu(menu, 0);
  SetMenuDefaultItem(trayMenu, IDM_SEARCH, FALSE);
  CheckMenuItem(trayMenu, IDM_TRAY_TEMPERATURE,
                MF_BYCOMMAND | (settings.trayTemperature ? MF_CHECKED : MF_UNCHECKED));
  CheckMenuItem(trayMenu, IDM_TRAY_ALERTS,
                MF_BYCOMMAND | (settings.trayAlerts ? MF_CHECKED : MF_UNCHECKED));
  insertRecentItems();
  removeLeftoverPageFiles();
  refreshWeather(window, false);
  slideState.currentY = GetSystemMetrics(SM_CYSCREEN);
  slideState.opacity = kSlideStartOpacity;
}

[[noreturn]] void exitProgram(HWND window) {
  KillTimer(window, TIMER_REFRESH);
  freeSkin();
  removeTrayIcon();
  DestroyWindow(window);
  std::exit(0);
}

void chooseUnit(HWND window, bool metric) {
  CheckMenuItem(trayMenu, IDM_FAHRENHEIT, MF_BYCOMMAND | (metric ? MF_UNCHECKED : MF_CHECKED));
  CheckMenuItem(trayMenu, IDM_CELSIUS, MF_BYCOMMAND | (metric ? MF_CHECKED : MF_UNCHECKED));
  settings.metric = metric;
  saveSettings(settings);
  refreshWeather(window, true);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

// A tray option of the Metric sub-menu: its check mark, its line saved, and
// the icon again.
void toggleTrayOption(HWND window, bool& option, UINT item, bool (*save)(const Settings&)) {
  option = !option;
  CheckMenuItem(trayMenu, item, MF_BYCOMMAND | (option ? MF_CHECKED : MF_UNCHECKED));
  save(settings);
  onTrayOptionChanged(window);
}

// Commands 5001 and 5002: the chosen recent location becomes the current one
// and its weather is fetched.
void chooseRecentLocation(HWND window, int slot) {
  removeRecentItems();
  promoteSlot(settings, slot);
  insertRecentItems();
  saveSettings(settings);
  refreshWeather(window, false);
}

void onCommand(HWND window, WORD command) {
  switch (command) {
    case IDM_SEARCH:
      openSearchDialog(window);
      break;
    case IDM_EXIT:
      exitProgram(window);
    case IDM_FAHRENHEIT:
      chooseUnit(window, false);
      break;
    case IDM_CELSIUS:
      chooseUnit(window, true);
      break;
    case IDM_TRAY_TEMPERATURE:
      toggleTrayOption(window, settings.trayTemperature, IDM_TRAY_TEMPERATURE, saveTraySettings);
      break;
    case IDM_TRAY_ALERTS:
      toggleTrayOption(window, settings.trayAlerts, IDM_TRAY_ALERTS, saveTrayAlerts);
      break;
    case IDM_ABOUT:
      DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_ABOUT), window, aboutDialogProc, 0);
      break;
    case IDM_RECENT_BASE + 1:
    case IDM_RECENT_BASE + 2:
      chooseRecentLocation(window, command - IDM_RECENT_BASE);
      break;
    default:  // the current location's own item among them
      break;
  }
}

void onTrayNotify(HWND window, WPARAM iconId, LPARAM event) {
  if (iconId != TRAY_ICON_ID) return;
  switch (event) {
    case WM_LBUTTONUP:
      onWindowClick(window);
      break;
    case WM_RBUTTONUP: {
      POINT cursor;
      GetCursorPos(&cursor);
      SetForegroundWindow(window);
      TrackPopupMenu(trayMenu, 0, cursor.x, cursor.y, 0, window, nullptr);
      // Without a message after the menu, a second right click may find the
      // menu unable to close when the user clicks elsewhere.
      PostMessageA(window, WM_NULL, 0, 0);
      break;
    }
    case NIN_BALLOONUSERCLICK:
      // A head start for the service the search is about to need.
      startLocalServiceNow();
      openSearchDialog(window);
      break;
    default:
      break;
  }
}

}  // namespace

bool registerMainWindowClass(HINSTANCE instance) {
  WNDCLASSA windowClass{};
  windowClass.style = 0;
  windowClass.lpfnWndProc = mainWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_SCROLLBAR + 1);
  windowClass.lpszClassName = kMainWindowClass;
  return RegisterClassA(&windowClass) != 0;
}

HWND createMainWindow(HINSTANCE instance) {
  return CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, kMainWindowClass, kMainWindowClass,
                         WS_POPUP | WS_VISIBLE | WS_SYSMENU, CW_USEDEFAULT, CW_USEDEFAULT, 400, 300,
                         nullptr, nullptr, instance, nullptr);
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (taskbarCreatedMessage != 0 && message == taskbarCreatedMessage) {
    restoreTrayIcon();
    return 0;
  }
  switch (message) {
    case WM_CREATE:
      initMainWindow(window);
      return 0;
    case WM_PAINT:
      paintDisplay(window);
      return 0;
    case WM_CLOSE:
      exitProgram(window);
    case WM_COMMAND:
      onCommand(window, LOWORD(wParam));
      return 0;
    case WM_TIMER:
      if (wParam == TIMER_SLIDE) onSlideTimer(window);
      if (wParam == TIMER_REFRESH) refreshWeather(window, false);
      if (wParam == TIMER_READING_AGE) onReadingAgeCheck(window);
      return 0;
    case WM_TIMECHANGE:
      onReadingAgeCheck(window);
      return 0;
    case WM_LBUTTONDOWN:
      onWindowClick(window);
      return 0;
    case WM_TRAYNOTIFY:
      onTrayNotify(window, wParam, lParam);
      return 0;
    case WM_SLIDE_IN_REQUEST:
      onSlideInRequest(window);
      return 0;
    case WM_COMMIT_DOWNLOADED:
      onCommitDownloaded(window, lParam);
      onSlideInRequest(window);
      return 0;
    case WM_REPORT_DOWNLOADED:
      onReportDownloaded(window, lParam);
      return 0;
    case WM_POWERBROADCAST:
      onPowerBroadcast(window, wParam);
      return TRUE;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}
