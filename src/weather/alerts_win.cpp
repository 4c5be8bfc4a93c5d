#include <windows.h>

#include "common/program_win.h"
#include "settings/settings.h"
#include "weather/alerts.h"
#include "weather/alerts_win.h"
#include "weather/fetch.h"
#include "weather/tray_icon_win.h"

namespace {

// On the user-interface thread only.
std::string heldLink;
std::vector<PageAlert> held;
BalloonsShown balloonsShown;
bool balloonsRead = false;

// The balloons shown are kept beside the downloads, so that a new start
// does not show them again.
std::string balloonsFile() { return programPath(std::string(kCacheFolder) + "\\Alerts.txt"); }

BalloonsShown& shownBalloons() {
  if (!balloonsRead) {
    balloonsRead = true;
    HANDLE file = CreateFileA(balloonsFile().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      // Read only as far as the record can reach.
      std::string text(kMaxBalloonsKept * (kMaxAlertText + 4), '\0');
      DWORD read = 0;
      if (!ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr)) read = 0;
      CloseHandle(file);
      text.resize(read);
      balloonsShown = readBalloons(text);
    }
  }
  return balloonsShown;
}

void recordBalloon(const PageAlert& alert) {
  BalloonsShown& shown = shownBalloons();
  // A full record keeps the alerts of the place shown now.
  if (shown.size() >= kMaxBalloonsKept) {
    BalloonsShown kept;
    for (const PageAlert& current : held)
      if (shown.count(current.id)) kept[current.id] = shown[current.id];
    shown = std::move(kept);
  }
  shown[alert.id] = alert.severity;
  std::string text = balloonsText(shown);
  HANDLE file = CreateFileA(balloonsFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;  // kept for this run only
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

int64_t secondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
  return static_cast<int64_t>((ticks.QuadPart - 116444736000000000ULL) / 10000000ULL);
}

// When the alert ends as the place's clock reads, in the user's time
// format, with the day when it is not within the day ahead.
std::string untilText(const PageAlert& alert, int64_t now) {
  if (!alert.endsAt) return {};
  SYSTEMTIME wall{};
  wall.wYear = static_cast<WORD>(alert.endsLocal.year);
  wall.wMonth = static_cast<WORD>(alert.endsLocal.month);
  wall.wDay = static_cast<WORD>(alert.endsLocal.day);
  wall.wHour = static_cast<WORD>(alert.endsLocal.hour);
  wall.wMinute = static_cast<WORD>(alert.endsLocal.minute);
  char time[32], day[32];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &wall, nullptr, time, sizeof time) <= 0)
    wsprintfA(time, "%02u:%02u", wall.wHour, wall.wMinute);
  if (*alert.endsAt - now < 20 * 3600) return time;
  if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &wall, "ddd", day, sizeof day) <= 0) return time;
  return std::string(day) + " " + time;
}

}  // namespace

void takePageAlerts(std::string_view page, const std::string& link) {
  PageAlerts read = readPageAlerts(page);
  if (link != heldLink) held.clear();
  heldLink = link;
  if (read.answered) held = std::move(read.alerts);
}

void addAlertsToStatus(TrayStatus& status) {
  int64_t now = secondsNow();
  AlertsView view = alertsView(held, now, settings.trayAlerts, shownBalloons());
  status.alertMark = view.mark;
  if (view.named)
    status.tip = withAlertLine(status.tip, alertLine(*view.named, untilText(*view.named, now)));
}

void showDueAlertBalloon() {
  AlertsView view = alertsView(held, secondsNow(), settings.trayAlerts, shownBalloons());
  if (!view.balloon) return;
  const PageAlert& alert = *view.balloon;
  recordBalloon(alert);
  showTrayWarning(alert.event, alert.headline.empty() ? alert.event : alert.headline);
}
