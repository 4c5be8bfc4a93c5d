#include "weather/refresh_win.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

#include "common/program_win.h"
#include "common/text.h"
#include "resource.h"
#include "settings/settings.h"
#include "weather/alerts_win.h"
#include "weather/conditions_text.h"
#include "weather/fetch_win.h"
#include "weather/local_service_win.h"
#include "weather/status.h"
#include "weather/tray_icon_win.h"
#include "weather/weather_page.h"

namespace {

// A refresh download, handed to its worker and back.
struct ReportJob {
  HWND window;
  unsigned generation;
  std::string file;
  std::string link;
  std::string history[kHistorySlots];
  bool userAsked;  // a place the user just chose: its service is started at once
  std::optional<std::string> page;
  DownloadFailure failure = DownloadFailure::None;
};

// The refresh downloads, on the user-interface thread only.
unsigned generation = 0;  // of the download whose end counts
bool running = false;
DWORD runningSince = 0;
std::string runningLink;
bool requestedAgain = false;
uint32_t failures = 0;

// A download that has not ended after this long no longer holds back the
// refreshes: a new one supersedes it and its late answer is dropped. A
// connection cut by sleep or a change of network may never end; a server
// that takes requests and never answers would make one such thread a
// minute, so at most this many superseded downloads may still be running.
constexpr DWORD kDownloadLimitMs = 60000;
constexpr int kSupersededLimit = 4;
int supersededRunning = 0;

void setUnitCheckMarks() {
  CheckMenuItem(trayMenu, IDM_FAHRENHEIT,
                MF_BYCOMMAND | (settings.metric ? MF_UNCHECKED : MF_CHECKED));
  CheckMenuItem(trayMenu, IDM_CELSIUS,
                MF_BYCOMMAND | (settings.metric ? MF_CHECKED : MF_UNCHECKED));
}

// The reading in force: when it was taken (wall-clock time, so that the
// age also counts the hours the computer slept); nothing before the first
// page. What the tray shows for it, and the icon drawn for it, if any.
std::optional<int64_t> readingAt;
TrayStatus shownStatus;
// The place whose reading the conditions hold (or will hold): the current
// one, once it has been shown. While it has no temperature, why.
std::string shownLink;
Unavailable unavailable = Unavailable::Waiting;

Unavailable unavailableFor(DownloadFailure failure) {
  switch (failure) {
    case DownloadFailure::NoConnection:
      return Unavailable::NoConnection;
    case DownloadFailure::ServiceBusy:
      return Unavailable::ServiceBusy;
    default:
      return Unavailable::NoReading;
  }
}

// FILETIME counts 100 ns ticks from 1601-01-01 UTC.
constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kUnixEpochTicks = 116444736000000000;

int64_t wallClockNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER ticks{{now.dwLowDateTime, now.dwHighDateTime}};
  return static_cast<int64_t>((ticks.QuadPart - kUnixEpochTicks) / kTicksPerSecond);
}

// `time` as the user reads a time of day, in local time; 24-hour HH:MM when
// the user's format cannot be had.
std::string clockText(int64_t time) {
  ULARGE_INTEGER ticks;
  ticks.QuadPart = static_cast<uint64_t>(time) * kTicksPerSecond + kUnixEpochTicks;
  FILETIME utc{ticks.LowPart, ticks.HighPart};
  SYSTEMTIME utcTime, local;
  if (!FileTimeToSystemTime(&utc, &utcTime)) return {};
  if (!SystemTimeToTzSpecificLocalTime(nullptr, &utcTime, &local)) local = utcTime;
  char text[32];
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, text, sizeof text) > 0) {
    return text;
  }
  wsprintfA(text, "%02u:%02u", local.wHour, local.wMinute);
  return text;
}

TrayStatus currentStatus() {
  int64_t now = wallClockNow();
  // The user's time format is looked up only when the tooltip shows it.
  bool old = readingAt && readingIsOld(*readingAt, now);
  std::string clock = old ? clockText(*readingAt) : std::string();
  TrayStatus status = trayStatus(
      {textOf(conditions.locationName), textOf(conditions.temperatureText), settings.metric,
       settings.trayTemperature, readingAt, now, clock, textOf(conditions.exactTemperatureText),
       textOf(settings.cities[0]), unavailable, pageOutlook(conditions)});
  if (readingAt) addAlertsToStatus(status);
  return status;
}

// Wakes the user-interface thread when the reading in force turns old; the
// same moment is looked at again after a resume or a change of the clock.
void armReadingAgeTimer(HWND window) {
  int64_t left = readingAt ? secondsUntilOld(*readingAt, wallClockNow()) : 0;
  if (left == 0) {
    KillTimer(window, TIMER_READING_AGE);
    return;
  }
  constexpr int64_t kLongestMs = 24 * 60 * 60 * 1000;
  SetTimer(window, TIMER_READING_AGE, static_cast<UINT>(std::min(left * 1000, kLongestMs)),
           nullptr);
}

// The tooltip and the icon from the reading in force; with `always` false
// only when its age mark has changed since they were shown (it turned old,
// or the clock was set back), as nothing else changes them without a new
// reading or a command.
void showStatus(HWND window, bool always) {
  TrayStatus status = currentStatus();
  armReadingAgeTimer(window);
  if (!always && status.old == shownStatus.old) return;
  showTrayStatus(status);
  shownStatus = status;
}

void updateStatus(HWND window) {
  showStatus(window, true);
  showDueAlertBalloon();
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE);
}

std::string historyLink(int slot) { return std::string(textOf(settings.urls[slot])); }

DWORD WINAPI reportWorker(void* parameter) {
  auto* job = static_cast<ReportJob*>(parameter);
  {
    ComApartment com;
    if (job->userAsked) ensureLocalService(ServiceStart::Now);
    job->page = downloadPage(job->file, job->link, job->history, &job->failure);
  }
  // No window any more (the program is ending): nobody wants the page.
  if (!PostMessageA(job->window, WM_REPORT_DOWNLOADED, 0, reinterpret_cast<LPARAM>(job))) {
    delete job;
  }
  return 0;
}

// Forgets the previous place's reading when the current place is another:
// its numbers must never stand for the new place's. True when it did.
bool forgetOtherPlace() {
  if (shownLink == historyLink(0)) return false;
  shownLink = historyLink(0);
  std::memset(&conditions, 0, sizeof conditions);
  readingAt.reset();
  unavailable = Unavailable::Waiting;
  return true;
}

void startDownload(HWND window, bool userAsked) {
  if (running) ++supersededRunning;
  requestedAgain = false;
  running = true;
  runningSince = GetTickCount();
  runningLink = historyLink(0);
  // Armed until the page arrives, which sets it anew: a download that never
  // ends is retried rather than waited on for good.
  SetTimer(window, TIMER_REFRESH, refreshDelayMs(failures + 1), nullptr);
  // The file is made here, so that it exists from the request to the page's
  // arrival.
  std::optional<std::string> file = newPageFile();
  auto* job = new ReportJob{window,
                            ++generation,
                            file.value_or(""),
                            historyLink(0),
                            {historyLink(0), historyLink(1), historyLink(2)},
                            userAsked,
                            std::nullopt};
  if (file && startWorker(reportWorker, job)) return;
  if (file) DeleteFileA(file->c_str());
  // Counts as a failed download, so the retry comes all the same.
  if (!PostMessageA(window, WM_REPORT_DOWNLOADED, 0, reinterpret_cast<LPARAM>(job))) delete job;
}

}  // namespace

bool refreshRunning() { return running; }

void showCurrentPlace(HWND window) {
  if (forgetOtherPlace()) updateStatus(window);
}

void applyReport(HWND window, const std::string& link, const std::optional<std::string>& page,
                 DownloadFailure failure) {
  setUnitCheckMarks();
  // A page of a location that is no longer the current one arrived late: the
  // current one's own download sets the timer and the status.
  if (link.empty() || link != historyLink(0)) return;
  bool placeChanged = forgetOtherPlace();
  // An empty answer is no report: scanning it would blank the weather shown.
  bool loaded = page && !page->empty();
  failures = loaded ? 0 : failures + 1;
  SetTimer(window, TIMER_REFRESH, refreshDelayMs(failures), nullptr);
  if (!loaded) {
    if (readingAt && !placeChanged) {
      showStatus(window, false);  // no new reading: the one in force ages
      return;
    }
    unavailable =
        unavailableFor(failure == DownloadFailure::None ? DownloadFailure::Other : failure);
    updateStatus(window);
    return;
  }
  scanWeatherPage(*page, conditions);
  takePageAlerts(*page, link);
  readingAt = readingTime(*page, wallClockNow());
  unavailable = Unavailable::NoReading;  // should the page hold no temperature
  updateStatus(window);
}

void onReportDownloaded(HWND window, LPARAM parameter) {
  std::unique_ptr<ReportJob> job(reinterpret_cast<ReportJob*>(parameter));
  if (job->generation != generation) {  // superseded
    --supersededRunning;
    return;
  }
  running = false;
  applyReport(window, job->link, job->page, job->failure);
  if (requestedAgain) refreshWeather(window, false);
}

void refreshWeather(HWND window, bool statusOnly) {
  if (statusOnly) {
    updateStatus(window);
    return;
  }
  if (settings.urls[0][0] == '\0') {
    showTrayBalloon(kWelcomeTitle, kWelcomeText);
    return;
  }
  setUnitCheckMarks();
  bool placeChanged = forgetOtherPlace();
  if (placeChanged) updateStatus(window);
  // A download of another location (the choice changed meanwhile) is
  // superseded at once rather than waited for.
  bool overdue = GetTickCount() - runningSince >= kDownloadLimitMs;
  bool supersede = runningLink != historyLink(0) || overdue;
  if (running && (!supersede || supersededRunning >= kSupersededLimit)) {
    requestedAgain = true;
    return;
  }
  // A place chosen just now (not the first at start): the user is waiting.
  startDownload(window, placeChanged && generation > 0);
}

void onReadingAgeCheck(HWND window) {
  if (readingAt) showStatus(window, false);
}

void onTrayOptionChanged(HWND window) {
  if (readingAt) showStatus(window, true);
}

void onPowerBroadcast(HWND window, WPARAM event) {
  if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND) return;
  // The reading may have turned old while the computer slept.
  onReadingAgeCheck(window);
  if (settings.urls[0][0] == '\0') return;
  failures = 0;
  // A download begun before the sleep most likely hangs on a connection that
  // is gone: the refresh after the resume does not wait for it.
  if (running) runningSince = GetTickCount() - kDownloadLimitMs;
  SetTimer(window, TIMER_REFRESH, kResumeRefreshMs, nullptr);
}
