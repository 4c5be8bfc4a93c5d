#include "weather/refresh_win.h"

#include <cstring>
#include <memory>

#include "common/program_win.h"
#include "common/text.h"
#include "resource.h"
#include "settings/settings.h"
#include "weather/fetch.h"
#include "weather/status.h"
#include "weather/weather_page.h"

NOTIFYICONDATAA trayIcon{};

namespace {

// A refresh download, handed to its worker and back.
struct ReportJob {
  HWND window;
  unsigned generation;
  std::string file;
  std::string link;
  std::string history[kHistorySlots];
  std::optional<std::string> page;
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

std::string historyLink(int slot) { return std::string(textOf(settings.urls[slot])); }

DWORD WINAPI reportWorker(void* parameter) {
  auto* job = static_cast<ReportJob*>(parameter);
  {
    ComApartment com;
    job->page = downloadPage(job->file, job->link, job->history);
  }
  // No window any more (the program is ending): nobody wants the page.
  if (!PostMessageA(job->window, WM_REPORT_DOWNLOADED, 0, reinterpret_cast<LPARAM>(job))) {
    delete job;
  }
  return 0;
}

void startDownload(HWND window) {
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
                            std::nullopt};
  if (file && startWorker(reportWorker, job)) return;
  if (file) DeleteFileA(file->c_str());
  // Counts as a failed download, so the retry comes all the same.
  if (!PostMessageA(window, WM_REPORT_DOWNLOADED, 0, reinterpret_cast<LPARAM>(job))) delete job;
}

}  // namespace

void addTrayIcon(HWND window) {
  trayIcon = NOTIFYICONDATAA{};
  trayIcon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  trayIcon.hWnd = window;
  trayIcon.uID = TRAY_ICON_ID;
  trayIcon.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
  trayIcon.uCallbackMessage = WM_TRAYNOTIFY;
  trayIcon.hIcon = static_cast<HICON>(LoadImageA(nullptr, programPath("Skins\\Default.ico").c_str(),
                                                 IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  setField(trayIcon.szTip, kConnectingTip);
  trayIcon.uTimeout = 0;
  trayIcon.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconA(NIM_ADD, &trayIcon);
}

void removeTrayIcon() { Shell_NotifyIconA(NIM_DELETE, &trayIcon); }

void restoreTrayIcon() {
  if (!trayIcon.hWnd) return;
  // A balloon shown before the restart is not shown again.
  trayIcon.szInfoTitle[0] = '\0';
  trayIcon.szInfo[0] = '\0';
  Shell_NotifyIconA(NIM_ADD, &trayIcon);
}

bool refreshRunning() { return running; }

void applyReport(HWND window, const std::string& link, const std::optional<std::string>& page) {
  setUnitCheckMarks();
  // A page of a location that is no longer the current one arrived late: the
  // current one's own download sets the timer and the status.
  if (link.empty() || link != historyLink(0)) return;
  // An empty answer is no report: scanning it would blank the weather shown.
  bool loaded = page && !page->empty();
  failures = loaded ? 0 : failures + 1;
  SetTimer(window, TIMER_REFRESH, refreshDelayMs(failures), nullptr);
  if (!loaded) return;
  scanWeatherPage(*page, conditions);
  updateStatus(window);
}

void onReportDownloaded(HWND window, LPARAM parameter) {
  std::unique_ptr<ReportJob> job(reinterpret_cast<ReportJob*>(parameter));
  if (job->generation != generation) {  // superseded
    --supersededRunning;
    return;
  }
  running = false;
  applyReport(window, job->link, job->page);
  if (requestedAgain) refreshWeather(window, false);
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
  // A download of another location (the choice changed meanwhile) is
  // superseded at once rather than waited for.
  bool overdue = GetTickCount() - runningSince >= kDownloadLimitMs;
  bool supersede = runningLink != historyLink(0) || overdue;
  if (running && (!supersede || supersededRunning >= kSupersededLimit)) {
    requestedAgain = true;
    return;
  }
  startDownload(window);
}

void onPowerBroadcast(HWND window, WPARAM event) {
  if (event != PBT_APMRESUMEAUTOMATIC && event != PBT_APMRESUMESUSPEND) return;
  if (settings.urls[0][0] == '\0') return;
  failures = 0;
  // A download begun before the sleep most likely hangs on a connection that
  // is gone: the refresh after the resume does not wait for it.
  if (running) runningSince = GetTickCount() - kDownloadLimitMs;
  SetTimer(window, TIMER_REFRESH, kResumeRefreshMs, nullptr);
}
