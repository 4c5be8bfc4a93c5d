#include "weather/refresh_win.h"

#include <cstring>

#include "app/app_win.h"
#include "common/text.h"
#include "resource.h"
#include "settings/settings.h"
#include "weather/fetch.h"
#include "weather/status.h"
#include "weather/weather_page.h"

NOTIFYICONDATAA trayIcon{};

namespace {

template <std::size_t N>
void setField(char (&field)[N], std::string_view text) {
  std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(field, text.data(), length);
  field[length] = '\0';
}

void setUnitCheckMarks() {
  CheckMenuItem(trayMenu, IDM_FAHRENHEIT,
                MF_BYCOMMAND | (settings.metric ? MF_UNCHECKED : MF_CHECKED));
  CheckMenuItem(trayMenu, IDM_CELSIUS,
                MF_BYCOMMAND | (settings.metric ? MF_CHECKED : MF_UNCHECKED));
}

void updateStatus(HWND window) {
  setField(trayIcon.szTip, tooltipText(textOf(conditions.locationName),
                                       textOf(conditions.temperatureText), settings.metric));
  trayIcon.szInfoTitle[0] = '\0';
  trayIcon.szInfo[0] = '\0';
  Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

// A page that could not be loaded leaves everything shown as it was, and the
// timer as it was. So does an empty one: an empty answer is no report, and
// scanning it would blank the weather shown.
void scanIntoStatus(HWND window, const std::optional<std::string>& page) {
  if (!page || page->empty()) return;
  scanWeatherPage(*page, conditions);
  SetTimer(window, TIMER_REFRESH, kRefreshPeriodMs, nullptr);
  updateStatus(window);
}

std::string historyLink(int slot) { return std::string(textOf(settings.urls[slot])); }

}  // namespace

void addTrayIcon(HWND window) {
  trayIcon = NOTIFYICONDATAA{};
  trayIcon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  trayIcon.hWnd = window;
  trayIcon.uID = TRAY_ICON_ID;
  trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
  trayIcon.hIcon = static_cast<HICON>(
      LoadImageA(nullptr, "Skins\\Default.ico", IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  setField(trayIcon.szTip, kConnectingTip);
  trayIcon.uTimeout = 0;
  trayIcon.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconA(NIM_ADD, &trayIcon);
}

void removeTrayIcon() { Shell_NotifyIconA(NIM_DELETE, &trayIcon); }

void applyReport(HWND window, const std::optional<std::string>& page) {
  setUnitCheckMarks();
  scanIntoStatus(window, page);
}

void refreshWeather(HWND window, bool statusOnly) {
  if (statusOnly) {
    updateStatus(window);
    return;
  }
  if (settings.urls[0][0] == '\0') {
    setField(trayIcon.szInfoTitle, kWelcomeTitle);
    setField(trayIcon.szInfo, kWelcomeText);
    Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
    return;
  }
  setUnitCheckMarks();
  const std::string history[kHistorySlots] = {historyLink(0), historyLink(1), historyLink(2)};
  scanIntoStatus(window, downloadPage(history[0], history));
}
