#include "drive_win.h"

#include <cstdio>

#include "driver.h"
#include "resource.h"

namespace {

using driver::kNotFoundCaption;
using driver::kSearchCaption;
using driver::waitForWindow;

// More often than the driver polls: the times measured here are short.
constexpr DWORD kPollMs = 5;

// Sent, not posted, so that it has been handled when it returns.
bool sendCommand(HWND window, int id, DWORD timeoutMs) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(window, id)), SMTO_NORMAL,
                             timeoutMs, &ignored) != 0;
}

bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

// The list filled (OK enabled, Search back) or the not-found box, which is
// closed so that the dialog can go on.
bool waitForResults(DWORD processId, HWND dialog, DWORD timeoutMs) {
  HWND list = GetDlgItem(dialog, IDC_RESULTS);
  return driver::waitUntil(
      [&] {
        if (HWND box = waitForWindow(processId, "#32770", kNotFoundCaption, 0)) {
          PostMessageA(box, WM_COMMAND, IDOK, 0);
          return driver::waitUntil([&] { return !IsWindow(box) && enabled(dialog, IDC_SEARCH); },
                                   5000, kPollMs);
        }
        return enabled(dialog, IDC_SEARCH) && enabled(dialog, IDC_OK) &&
               SendMessageA(list, CB_GETCOUNT, 0, 0) > 0;
      },
      timeoutMs, kPollMs);
}

}  // namespace

double nowMs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    return value;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void layOutWithSettings(const std::string& folder, const std::string& exe,
                        const std::string& exeName, const std::string& skins,
                        const std::string& settings) {
  driver::layOutInstalledFolder(folder, exe, skins, exeName);
  CreateDirectoryA((folder + "\\Setup").c_str(), nullptr);
  driver::writeFileText(folder + "\\Setup\\Setup.ini", settings);
}

driver::Program startSettled(const std::string& exe, const std::string& folder,
                             const char* windowClass, DWORD timeoutMs) {
  driver::Program program = driver::startProcess(exe, folder);
  if (!program.process.hProcess) return program;
  program.window = waitForWindow(program.process.dwProcessId, windowClass, nullptr, timeoutMs);
  // The window is found while its creation, first refresh included, may
  // still run, and the download machinery answers a message or two on its
  // way; the program has started once it has answered at once for a second.
  double end = nowMs() + timeoutMs;
  double quietSince = nowMs();
  while (program.window && nowMs() < end && nowMs() - quietSince < 1000) {
    DWORD_PTR ignored = 0;
    double start = nowMs();
    SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
    if (nowMs() - start >= 50) quietSince = nowMs();
    Sleep(10);
  }
  return program;
}

void stopProgram(driver::Program& program) {
  if (!program.process.hProcess) return;
  if (program.window) PostMessageA(program.window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(program.process.hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(program.process.hProcess, 1);
    WaitForSingleObject(program.process.hProcess, 5000);
  }
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
  program = driver::Program{};
}

double refreshOnce(HWND window, DWORD timeoutMs) {
  std::string folder = driver::programFolderOf(window);
  DWORD_PTR ignored = 0;
  double start = nowMs();
  if (folder.empty() ||
      !SendMessageTimeoutA(window, WM_TIMER, TIMER_REFRESH, 0, SMTO_NORMAL, timeoutMs, &ignored) ||
      !driver::waitUntil([&] { return !driver::downloadsPending(folder); }, timeoutMs, kPollMs)) {
    return -1;
  }
  double took = nowMs() - start;
  // The page is handed over by a message posted as its file goes; let it be
  // handled before the next step.
  Sleep(5);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored);
  return took;
}

const char* searchOnce(const driver::Program& program, const std::string& query, bool commit,
                       DWORD timeoutMs) {
  DWORD processId = program.process.dwProcessId;
  // Posted: the dialog runs modally inside the command's handler.
  PostMessageA(program.window, WM_COMMAND, IDM_SEARCH, 0);
  HWND dialog = waitForWindow(processId, "#32770", kSearchCaption, timeoutMs);
  // The window exists before its controls do; it is shown once they are
  // ready.
  if (!dialog ||
      !driver::waitUntil([&] { return IsWindowVisible(dialog) != FALSE; }, timeoutMs, kPollMs)) {
    return "the dialog did not open";
  }
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, IDC_QUERY), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(query.c_str()), SMTO_NORMAL, timeoutMs, &ignored);
  // An empty query would leave the dialog disabled for good.
  DWORD_PTR length = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, IDC_QUERY), WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, timeoutMs,
                      &length);
  if (length == 0) {
    sendCommand(dialog, IDC_CANCEL, timeoutMs);
    return "the query was not typed";
  }
  const char* failure = nullptr;
  if (!sendCommand(dialog, IDC_SEARCH, timeoutMs)) {
    failure = "Search was not handled";
  } else if (!waitForResults(processId, dialog, timeoutMs)) {
    failure = "no list and no not-found box";
  }
  bool withEntry = !failure && enabled(dialog, IDC_OK);
  sendCommand(dialog, commit && withEntry ? IDC_OK : IDC_CANCEL, timeoutMs);
  // A commit ends the dialog once its report has been downloaded.
  if (!driver::waitUntil([&] { return !IsWindow(dialog); }, timeoutMs, kPollMs)) {
    sendCommand(dialog, IDC_CANCEL, timeoutMs);
    if (!failure) failure = "the dialog did not end";
  }
  return failure;
}

double longestPing(HWND window, DWORD durationMs, DWORD intervalMs) {
  double longest = 0;
  double end = nowMs() + durationMs;
  while (nowMs() < end) {
    DWORD_PTR ignored = 0;
    double start = nowMs();
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &ignored);
    double took = nowMs() - start;
    if (took > longest) longest = took;
    Sleep(intervalMs);
  }
  return longest;
}
