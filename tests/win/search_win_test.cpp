#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/slide_win.h"
#include "main_window_fixture.h"
#include "resource.h"
#include "search/search_dialog_win.h"
#include "weather/fetch.h"
#include "weather/weather_page.h"

namespace {

const std::string kOslo = std::string(kServiceRoot) + "/report/oslo-norway";

// Polls from the driver thread, which must not block the dialog's thread.
bool eventually(const std::function<bool()>& done, DWORD milliseconds = 10000) {
  for (DWORD waited = 0; !done(); waited += 20) {
    if (waited >= milliseconds) return false;
    Sleep(20);
  }
  return true;
}

HWND findDialog(const char* title) { return FindWindowA("#32770", title); }

// What a user sees of the Search dialog's controls.
struct Controls {
  bool query, extended, search, results, ok, cancel;
  bool operator==(const Controls&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Controls& c) {
  return out << "query " << c.query << " extended " << c.extended << " search " << c.search
             << " results " << c.results << " ok " << c.ok << " cancel " << c.cancel;
}

Controls enabled(HWND dialog) {
  auto on = [dialog](int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; };
  return {on(IDC_QUERY),   on(IDC_EXTENDED), on(IDC_SEARCH),
          on(IDC_RESULTS), on(IDC_OK),       on(IDC_CANCEL)};
}

std::vector<std::string> listed(HWND dialog) {
  HWND results = GetDlgItem(dialog, IDC_RESULTS);
  std::vector<std::string> texts;
  LRESULT count = SendMessageA(results, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[256] = "";
    SendMessageA(results, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    texts.push_back(text);
  }
  return texts;
}

bool extendedTicked(HWND dialog) {
  return SendMessageA(GetDlgItem(dialog, IDC_EXTENDED), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// What a button tells its dialog when it is clicked.
void click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

void search(HWND dialog, const char* query) {
  SetDlgItemTextA(dialog, IDC_QUERY, query);
  click(dialog, IDC_SEARCH);
}

constexpr Controls kAllEnabled{true, true, true, true, true, true};
constexpr Controls kAtOpening{true, true, true, false, false, true};

// Runs the Search dialog from the tray menu command on this thread while
// `drive` plays the user on another; answers once the dialog has ended and
// the driver is done.
class SearchDialog : public MainWindowTest {
 protected:
  void openAndDrive(std::function<void(HWND dialog)> drive) {
    struct Job {
      std::function<void(HWND)> drive;
      DWORD uiThread;
    } job{std::move(drive), GetCurrentThreadId()};
    HANDLE driver = CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
          auto* job = static_cast<Job*>(parameter);
          HWND dialog = nullptr;
          // Visible only once its controls exist and it has been initialised.
          eventually([&] {
            dialog = findDialog("Search for Location");
            return dialog && IsWindowVisible(dialog);
          });
          if (dialog) job->drive(dialog);
          if (dialog && IsWindow(dialog)) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
          return 0;
        },
        &job, 0, nullptr);
    SendMessageA(window, WM_COMMAND, IDM_SEARCH, 0);
    while (WaitForSingleObject(driver, 0) == WAIT_TIMEOUT) pumpMessages(20);
    CloseHandle(driver);
  }
  void startWithOslo() {
    writeSettings({"[General]", "URL0=" + kOslo, "City0=Oslo, Norway"});
    start();
  }
};

TEST_F(SearchDialog, WholeSearchMakesTheChosenPlaceCurrentAndSlidesIn) {
  startWithOslo();
  std::vector<std::string> shown;
  Controls afterScan{};
  DWORD uiThread = GetCurrentThreadId();
  openAndDrive([&](HWND dialog) {
    EXPECT_EQ(enabled(dialog), kAtOpening);
    EXPECT_FALSE(extendedTicked(dialog));
    GUITHREADINFO gui{sizeof gui};
    GetGUIThreadInfo(uiThread, &gui);
    EXPECT_EQ(gui.hwndFocus, GetDlgItem(dialog, IDC_QUERY));
    search(dialog, "TX");
    ASSERT_TRUE(eventually([&] { return enabled(dialog).ok; }));
    shown = listed(dialog);
    afterScan = enabled(dialog);
    EXPECT_EQ(SendMessageA(GetDlgItem(dialog, IDC_RESULTS), CB_GETCURSEL, 0, 0), 0);
    click(dialog, IDC_OK);
    eventually([&] { return !IsWindow(dialog); });
  });
  ASSERT_GE(shown.size(), 2u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), [](const auto& a, const auto& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  }));
  EXPECT_EQ(afterScan, kAllEnabled);

  std::string file = readFile(settingsFile());
  EXPECT_NE(file.find("City0=" + shown[0]), std::string::npos) << file;
  EXPECT_NE(file.find("URL1=" + kOslo + "\r\nCity1=Oslo, Norway"), std::string::npos) << file;
  EXPECT_EQ(std::string(conditions.locationName), shown[0]);
  EXPECT_EQ(std::string(trayIcon.szTip).find(shown[0] + " "), 0u);
  EXPECT_TRUE(slideState.shown);  // the window slides in with the new weather
  EXPECT_EQ(searchDialog, nullptr);
}

TEST_F(SearchDialog, PostalCodeIsADirectHit) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "78701");
    ASSERT_TRUE(eventually([&] { return enabled(dialog).ok; }));
    EXPECT_EQ(listed(dialog), std::vector<std::string>{"Austin, TX"});
    click(dialog, IDC_OK);
    eventually([&] { return !IsWindow(dialog); });
  });
  EXPECT_STREQ(settings.urls[0], (std::string(kServiceRoot) + "/78701").c_str());
  EXPECT_STREQ(settings.cities[0], "Austin, TX");
  EXPECT_STREQ(conditions.locationName, "Austin, TX");
}

TEST_F(SearchDialog, NotFoundWarnsAndLetsTheUserSearchAgain) {
  startWithOslo();
  std::string message;
  openAndDrive([&](HWND dialog) {
    search(dialog, "Nowhere");
    HWND box = nullptr;
    ASSERT_TRUE(eventually([&] { return (box = findDialog("Not found!")) != nullptr; }));
    char text[128] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text control
    message = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // The three come back one after the other; the state once Search is back.
    ASSERT_TRUE(eventually([&] { return enabled(dialog).search; }));
    EXPECT_EQ(enabled(dialog), (Controls{true, true, true, false, false, true}));
    EXPECT_TRUE(listed(dialog).empty());
  });
  EXPECT_EQ(message, "Search returned 0 results.");
  EXPECT_STREQ(settings.cities[0], "Oslo, Norway");  // nothing committed
}

TEST_F(SearchDialog, FallbackTicksExtendedAndListsTheSecondKind) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "Springfield");
    ASSERT_TRUE(eventually([&] { return enabled(dialog).ok; }));
    EXPECT_TRUE(extendedTicked(dialog));
    EXPECT_FALSE(listed(dialog).empty());
    // A second search in the same dialog starts from an emptied list, and
    // nothing can be committed from the old one once Search is pressed.
    SetDlgItemTextA(dialog, IDC_QUERY, "78701");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SEARCH)));
    EXPECT_EQ(enabled(dialog), (Controls{false, false, false, false, false, true}));
    ASSERT_TRUE(
        eventually([&] { return listed(dialog) == std::vector<std::string>{"Austin, TX"}; }));
  });
}

TEST_F(SearchDialog, EmptyQueryDisablesTheCriteriaAndFetchesNothing) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "");
    ASSERT_TRUE(eventually([&] { return !enabled(dialog).search; }));
    // A round trip through the dialog's queue: whatever the click set off
    // has been handled, and a search would have shown by now.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    EXPECT_EQ(enabled(dialog), (Controls{false, false, false, false, false, true}));
    click(dialog, IDC_CANCEL);
    EXPECT_TRUE(eventually([&] { return !IsWindow(dialog); }));
  });
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(SearchDialog, CancelDuringASearchEndsAtOnceAndDropsTheResult) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "TX");
    click(dialog, IDC_CANCEL);
    EXPECT_TRUE(eventually([&] { return !IsWindow(dialog); }, 8000));
  });
  pumpMessages(1000);  // the worker finishes in the background
  EXPECT_EQ(searchDialog, nullptr);
  EXPECT_STREQ(settings.cities[0], "Oslo, Norway");
}

TEST_F(SearchDialog, EscapeDuringACommitStillCommits) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "78701");
    ASSERT_TRUE(eventually([&] { return enabled(dialog).ok; }));
    click(dialog, IDC_OK);
    ASSERT_TRUE(eventually([&] { return !enabled(dialog).cancel; }));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // what Escape sends
    EXPECT_TRUE(eventually([&] { return !IsWindow(dialog); }, 8000));
  });
  EXPECT_TRUE(waitFor([] { return std::string(conditions.locationName) == "Austin, TX"; }, 10000));
  EXPECT_STREQ(settings.cities[0], "Austin, TX");
  EXPECT_STREQ(settings.cities[1], "Oslo, Norway");
  EXPECT_NE(readFile(settingsFile()).find("City0=Austin, TX"), std::string::npos);
}

TEST_F(SearchDialog, ASecondOpeningBringsTheOpenDialogForward) {
  startWithOslo();
  int dialogs = 0;
  openAndDrive([&](HWND dialog) {
    SendMessageA(window, WM_COMMAND, IDM_SEARCH, 0);
    SendMessageA(window, WM_TRAYNOTIFY, TRAY_ICON_ID, NIN_BALLOONUSERCLICK);
    for (HWND w = nullptr; (w = FindWindowExA(nullptr, w, "#32770", "Search for Location"));) {
      ++dialogs;
    }
    (void)dialog;
  });
  EXPECT_EQ(dialogs, 1);
}

}  // namespace
