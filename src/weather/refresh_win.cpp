#include "weather/refresh_win.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "common/program_win.h"
#include "common/text.h"
#include "resource.h"
#include "settings/settings.h"
#include "weather/fetch.h"
#include "weather/status.h"
#include "weather/tray_icon.h"
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

// The reading in force: when it was taken (wall-clock time, so that the
// age also counts the hours the computer slept); nothing before the first
// page. What the tray shows for it, and the icon drawn for it, if any.
std::optional<int64_t> readingAt;
TrayStatus shownStatus;
HICON programIcon = nullptr;
HICON drawnIcon = nullptr;

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
  return trayStatus({textOf(conditions.locationName), textOf(conditions.temperatureText),
                     settings.metric, settings.trayTemperature, readingAt, now, clock});
}

// A small icon of the size the display asks for, showing `text`.
HICON makeTemperatureIcon(const std::string& text, bool dimmed) {
  int size = GetSystemMetrics(SM_CXSMICON);
  if (size <= 0) size = 16;
  std::vector<uint32_t> pixels = trayIconPixels(text, size, dimmed);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  // The mask marks the clear pixels, for whatever draws the icon without
  // its alpha; rows of a monochrome bitmap are padded to 16 bits.
  std::size_t stride = (static_cast<std::size_t>(size) + 15) / 16 * 2;
  std::vector<BYTE> maskBits(stride * size, 0);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      if ((pixels[static_cast<std::size_t>(y) * size + x] >> 24) == 0) {
        maskBits[y * stride + x / 8] |= static_cast<BYTE>(0x80 >> (x % 8));
      }
    }
  }
  HBITMAP mask = CreateBitmap(size, size, 1, 1, maskBits.data());
  HICON icon = nullptr;
  if (color && mask) {
    std::memcpy(bits, pixels.data(), pixels.size() * sizeof pixels[0]);
    ICONINFO parts{TRUE, 0, 0, mask, color};
    icon = CreateIconIndirect(&parts);
  }
  // The icon holds copies of both.
  if (color) DeleteObject(color);
  if (mask) DeleteObject(mask);
  return icon;
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
  setField(trayIcon.szTip, status.tip);
  // The new icon is in place before the old one goes, so the taskbar never
  // holds a destroyed one.
  HICON previous = drawnIcon;
  drawnIcon = status.iconText.empty() ? nullptr : makeTemperatureIcon(status.iconText, status.old);
  trayIcon.hIcon = drawnIcon ? drawnIcon : programIcon;
  trayIcon.szInfoTitle[0] = '\0';
  trayIcon.szInfo[0] = '\0';
  Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
  if (previous) DestroyIcon(previous);
  shownStatus = status;
}

void updateStatus(HWND window) {
  showStatus(window, true);
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
  programIcon = static_cast<HICON>(LoadImageA(nullptr, programPath("Skins\\Default.ico").c_str(),
                                              IMAGE_ICON, 16, 16, LR_LOADFROMFILE));
  trayIcon.hIcon = programIcon;
  setField(trayIcon.szTip, kConnectingTip);
  trayIcon.uTimeout = 0;
  trayIcon.dwInfoFlags = NIIF_INFO;
  Shell_NotifyIconA(NIM_ADD, &trayIcon);
}

void removeTrayIcon() {
  Shell_NotifyIconA(NIM_DELETE, &trayIcon);
  if (drawnIcon) DestroyIcon(drawnIcon);
  drawnIcon = nullptr;
  trayIcon.hIcon = programIcon;
}

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
  if (!loaded) {
    showStatus(window, false);  // no new reading: the one in force ages
    return;
  }
  scanWeatherPage(*page, conditions);
  readingAt = readingTime(*page, wallClockNow());
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
