#include "search/search_dialog_win.h"

#include <commctrl.h>

#include <optional>
#include <string>
#include <vector>

#include "common/program_win.h"
#include "resource.h"
#include "search/query_utf8_win.h"
#include "search/search_query.h"
#include "search/search_results.h"
#include "common/service_url.h"
#include "settings/history_win.h"
#include "settings/settings_win.h"
#include "weather/fetch_win.h"
#include "weather/local_service_win.h"
#include "weather/refresh_win.h"

HWND searchDialog = nullptr;

namespace {

constexpr const char* kUnreachableText =
    "The weather service could not be reached. Check the connection and search again.";
constexpr const char* kUnreachableCaption = "No connection!";
constexpr const char* kPortTakenText =
    "The weather service could not start because its port is in use by another program. "
    "Close that program and search again.";

struct ScanResult {
  SearchScan scan;
  bool extended;
};

// What a commit's worker downloads, and what it hands back to the main window.
struct Commit {
  HWND dialog;
  HWND mainWindow;
  std::string reportUrl;
  std::string history[kHistorySlots];
  std::optional<std::string> page;
  DownloadFailure failure = DownloadFailure::None;
};

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

void enableControls(HWND dialog, std::initializer_list<int> ids, bool enabled) {
  for (int id : ids) EnableWindow(control(dialog, id), enabled ? TRUE : FALSE);
}

// The results list owns a heap copy of each entry's link.
void emptyResults(HWND dialog) {
  HWND results = control(dialog, IDC_RESULTS);
  LRESULT count = SendMessageA(results, CB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    delete reinterpret_cast<std::string*>(SendMessageA(results, CB_GETITEMDATA, index, 0));
  }
  SendMessageA(results, CB_RESETCONTENT, 0, 0);
}

void showNotFound(HWND dialog) {
  MessageBoxA(dialog, "Search returned 0 results.", "Not found!", MB_ICONWARNING);
  enableControls(dialog, {IDC_QUERY, IDC_EXTENDED, IDC_SEARCH}, true);
}

// Entries the dropped-down results list shows without scrolling.
constexpr int kVisibleResults = 10;

// A drop-down list's height beyond its closed height is its list's: room for
// kVisibleResults entries of the dialog's font and half of one more, which
// the list's whole-entry height takes off again. Set at run time, since the
// platforms turn the template's height into a list height differently. The
// themed control counts entries instead.
void sizeResultsList(HWND dialog) {
  HWND results = control(dialog, IDC_RESULTS);
  RECT closed{};
  LRESULT entry = SendMessageA(results, CB_GETITEMHEIGHT, 0, 0);
  if (!GetWindowRect(results, &closed) || entry <= 0) return;
  int height = closed.bottom - closed.top + kVisibleResults * int(entry) + int(entry) / 2 +
               2 * GetSystemMetrics(SM_CYBORDER);
  SetWindowPos(results, nullptr, 0, 0, closed.right - closed.left, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SendMessageA(results, CB_SETMINVISIBLE, kVisibleResults, 0);
}

// The results list's entries in its own order, sorted by text.
std::vector<SearchEntry> listedEntries(HWND results) {
  std::vector<SearchEntry> entries;
  LRESULT count = SendMessageA(results, CB_GETCOUNT, 0, 0);
  for (LRESULT index = 0; index < count; ++index) {
    char text[kTextSize] = "";
    if (SendMessageA(results, CB_GETLBTEXTLEN, index, 0) < LRESULT{kTextSize})
      SendMessageA(results, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text));
    auto* link = reinterpret_cast<std::string*>(SendMessageA(results, CB_GETITEMDATA, index, 0));
    entries.push_back({text, link ? *link : std::string()});
  }
  return entries;
}

void applySearchScan(HWND dialog, const SearchScan& scan, bool extended) {
  for (unsigned i = 0; i < scan.notFoundCount; ++i) showNotFound(dialog);
  if (scan.extendedAfter && !extended) {
    SendMessageA(control(dialog, IDC_EXTENDED), BM_SETCHECK, BST_CHECKED, 0);
  }
  HWND results = control(dialog, IDC_RESULTS);
  for (const SearchEntry& entry : scan.entries) {
    LRESULT index =
        SendMessageA(results, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.displayText.c_str()));
    if (index < 0) continue;
    SendMessageA(results, CB_SETITEMDATA, index,
                 reinterpret_cast<LPARAM>(new std::string(entry.link)));
  }
  if (scan.outcome == ScanOutcome::Nothing) return;
  // OK only with something to commit: an empty list leaves it disabled.
  enableControls(dialog, {IDC_OK}, !scan.entries.empty());
  enableControls(dialog, {IDC_RESULTS, IDC_QUERY, IDC_EXTENDED, IDC_SEARCH}, true);
  // The list sorts by text; Enter and OK should give the service's best match.
  SendMessageA(results, CB_SETCURSEL, bestMatchIndex(scan.entries, listedEntries(results)), 0);
}

// Bound to the dialog that started it: it addresses that dialog alone, and
// drops its result when the dialog has ended.
DWORD WINAPI searchWorker(void* parameter) {
  HWND dialog = static_cast<HWND>(parameter);
  char query[kTextSize] = "";
  if (GetDlgItemTextA(dialog, IDC_QUERY, query, sizeof query) == 0) return 0;
  SendMessageA(dialog, WM_SEARCH_STARTED, 0, 0);
  // UTF-8 on the way, so that no letter depends on the code page at either end.
  NormalisedQuery forms = normaliseQuery(utf8FromAnsi(query));
  std::optional<std::string> page;
  {
    ComApartment com;
    // The user waits for this answer: a service of this PC that is down is
    // started now, not when a background start is next due.
    ensureLocalService(ServiceStart::Now);
    page = downloadPage(searchRequestUrl(serviceBaseUrl(), forms), {});
  }
  if (!page) {
    PostMessageA(dialog, WM_SEARCH_FAILED, localServicePortTaken() ? 1 : 0, 0);
    return 0;
  }
  bool extended = SendMessageA(control(dialog, IDC_EXTENDED), BM_GETCHECK, 0, 0) == BST_CHECKED;
  auto* result = new ScanResult{scanSearchResults(*page, extended, forms.underscoreForm), extended};
  if (!PostMessageA(dialog, WM_SEARCH_SCANNED, 0, reinterpret_cast<LPARAM>(result))) delete result;
  return 0;
}

DWORD WINAPI commitWorker(void* parameter) {
  auto* commit = static_cast<Commit*>(parameter);
  {
    ComApartment com;
    ensureLocalService(ServiceStart::Now);
    commit->page = downloadPage(commit->reportUrl, commit->history, &commit->failure);
  }
  if (!PostMessageA(commit->mainWindow, WM_COMMIT_DOWNLOADED, 0,
                    reinterpret_cast<LPARAM>(commit))) {
    delete commit;
  }
  return 0;
}

void onSearch(HWND dialog) {
  // Enter reaches the default button even while it is disabled; a search
  // already running must not get a second worker.
  if (!IsWindowEnabled(control(dialog, IDC_SEARCH))) return;
  // OK and the list go off at once: nothing may be committed from a list
  // that the running search is about to replace.
  enableControls(dialog, {IDC_QUERY, IDC_EXTENDED, IDC_SEARCH, IDC_OK, IDC_RESULTS}, false);
  if (!startWorker(searchWorker, dialog)) PostMessageA(dialog, WM_SEARCH_FAILED, 0, 0);
}

// The history changes on this thread, before the worker downloads the new
// location's page, so nothing that the user chose is lost if the download
// is slow.
void onOk(HWND dialog) {
  HWND results = control(dialog, IDC_RESULTS);
  LRESULT index = SendMessageA(results, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return;
  auto* link = reinterpret_cast<std::string*>(SendMessageA(results, CB_GETITEMDATA, index, 0));
  char name[kTextSize] = "";
  if (!link || SendMessageA(results, CB_GETLBTEXTLEN, index, 0) >= LRESULT{kTextSize}) return;
  SendMessageA(results, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name));
  enableControls(dialog, {IDC_QUERY, IDC_EXTENDED, IDC_SEARCH, IDC_RESULTS, IDC_OK, IDC_CANCEL},
                 false);

  auto* commit = new Commit{dialog, mainWindow, std::string(serviceBaseUrl()) + *link, {}, {}};
  removeRecentItems();
  pushLocation(settings, commit->reportUrl, name);
  insertRecentItems();
  saveSettings(settings);
  showCurrentPlace(mainWindow);
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    commit->history[slot] = std::string(textOf(settings.urls[slot]));
  }
  // The stored link may have been cut to fit its slot; download what is kept.
  commit->reportUrl = commit->history[0];
  // Without a worker the commit ends as one whose download failed.
  if (!startWorker(commitWorker, commit) && !PostMessageA(commit->mainWindow, WM_COMMIT_DOWNLOADED,
                                                          0, reinterpret_cast<LPARAM>(commit))) {
    delete commit;
  }
}

void endSearchDialog(HWND dialog) { EndDialog(dialog, 0); }

void onDestroy(HWND dialog) {
  emptyResults(dialog);
  releaseDialogPictures(dialog);
  // A scan posted just before the end is released here, not shown.
  MSG pending;
  while (PeekMessageA(&pending, dialog, WM_SEARCH_SCANNED, WM_SEARCH_SCANNED, PM_REMOVE)) {
    delete reinterpret_cast<ScanResult*>(pending.lParam);
  }
  if (searchDialog == dialog) searchDialog = nullptr;
}

INT_PTR CALLBACK searchDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      searchDialog = dialog;
      sizeResultsList(dialog);
      SetFocus(control(dialog, IDC_QUERY));
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_SEARCH:
          onSearch(dialog);
          break;
        case IDC_OK:
          onOk(dialog);
          break;
        case IDC_CANCEL:
        case IDCANCEL:
          endSearchDialog(dialog);
          break;
        default:
          break;
      }
      return FALSE;
    case WM_SEARCH_STARTED:
      enableControls(dialog, {IDC_OK, IDC_RESULTS}, false);
      emptyResults(dialog);
      return FALSE;
    case WM_SEARCH_FAILED:
      MessageBoxA(dialog, wParam ? kPortTakenText : kUnreachableText, kUnreachableCaption,
                  MB_ICONWARNING);
      enableControls(dialog, {IDC_QUERY, IDC_EXTENDED, IDC_SEARCH}, true);
      return FALSE;
    case WM_SEARCH_SCANNED: {
      auto* result = reinterpret_cast<ScanResult*>(lParam);
      applySearchScan(dialog, result->scan, result->extended);
      delete result;
      return FALSE;
    }
    case WM_DESTROY:
      onDestroy(dialog);
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

void openSearchDialog(HWND owner) {
  if (searchDialog && IsWindow(searchDialog)) {
    SetForegroundWindow(searchDialog);
    return;
  }
  DialogBoxParamA(appInstance, MAKEINTRESOURCEA(IDD_SEARCH), owner, searchDialogProc, 0);
}

void onCommitDownloaded(HWND window, LPARAM parameter) {
  auto* commit = reinterpret_cast<Commit*>(parameter);
  applyReport(window, commit->reportUrl, commit->page, commit->failure);
  // Ended already by Escape or its close box, the dialog is left alone.
  if (commit->dialog == searchDialog && IsWindow(commit->dialog)) endSearchDialog(commit->dialog);
  delete commit;
}
