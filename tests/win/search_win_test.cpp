#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/slide_win.h"
#include "common/service_url.h"
#include "main_window_fixture.h"
#include "resource.h"
#include "search/search_dialog_win.h"
#include "weather/fetch_win.h"
#include "weather/weather_page.h"

namespace {

const std::string kOslo = std::string(kServiceRoot) + "/report/oslo-norway";
// How long the driver thread waits for each step of the dialog.
constexpr DWORD kDriveMs = 10000;

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
          waitFor(
              [&] {
                dialog = findDialog("Search for Location");
                return dialog && IsWindowVisible(dialog);
              },
              kDriveMs);
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
  LRESULT selected = CB_ERR;
  Controls afterScan{};
  DWORD uiThread = GetCurrentThreadId();
  openAndDrive([&](HWND dialog) {
    EXPECT_EQ(enabled(dialog), kAtOpening);
    EXPECT_FALSE(extendedTicked(dialog));
    GUITHREADINFO gui{sizeof gui};
    GetGUIThreadInfo(uiThread, &gui);
    EXPECT_EQ(gui.hwndFocus, GetDlgItem(dialog, IDC_QUERY));
    search(dialog, "TX");
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    shown = listed(dialog);
    afterScan = enabled(dialog);
    selected = SendMessageA(GetDlgItem(dialog, IDC_RESULTS), CB_GETCURSEL, 0, 0);
    click(dialog, IDC_OK);
    waitFor([&] { return !IsWindow(dialog); }, kDriveMs);
  });
  ASSERT_GE(shown.size(), 2u);
  EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end(), [](const auto& a, const auto& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) < 0;
  }));
  EXPECT_EQ(afterScan, kAllEnabled);
  // The service's first, not the list's: the sample lists its top places first.
  ASSERT_TRUE(selected >= 0 && selected < LRESULT(shown.size()));
  const std::string chosen = shown[selected];
  EXPECT_EQ(chosen, "Houston, TX");

  std::string file = readFile(settingsFile());
  EXPECT_NE(file.find("City0=" + chosen), std::string::npos) << file;
  EXPECT_NE(file.find("URL1=" + kOslo + "\r\nCity1=Oslo, Norway"), std::string::npos) << file;
  EXPECT_EQ(std::string(conditions.locationName), chosen);
  EXPECT_EQ(std::string(trayIcon.szTip).find(chosen + " "), 0u);
  EXPECT_TRUE(slideState.shown);  // the window slides in with the new weather
  EXPECT_EQ(searchDialog, nullptr);
}

TEST_F(SearchDialog, PostalCodeIsADirectHit) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "78701");
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    EXPECT_EQ(listed(dialog), std::vector<std::string>{"Austin, TX"});
    click(dialog, IDC_OK);
    waitFor([&] { return !IsWindow(dialog); }, kDriveMs);
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
    ASSERT_TRUE(waitFor([&] { return (box = findDialog("Not found!")) != nullptr; }, kDriveMs));
    char text[128] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text);  // the message box's text control
    message = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    // The three come back one after the other; the state once Search is back.
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).search; }, kDriveMs));
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
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    EXPECT_TRUE(extendedTicked(dialog));
    EXPECT_FALSE(listed(dialog).empty());
    // A second search in the same dialog starts from an emptied list, and
    // nothing can be committed from the old one once Search is pressed.
    SetDlgItemTextA(dialog, IDC_QUERY, "78701");
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SEARCH, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SEARCH)));
    EXPECT_EQ(enabled(dialog), (Controls{false, false, false, false, false, true}));
    ASSERT_TRUE(waitFor([&] { return listed(dialog) == std::vector<std::string>{"Austin, TX"}; },
                        kDriveMs));
  });
}

TEST_F(SearchDialog, EmptyQueryDisablesTheCriteriaAndFetchesNothing) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "");
    ASSERT_TRUE(waitFor([&] { return !enabled(dialog).search; }, kDriveMs));
    // A round trip through the dialog's queue: whatever the click set off
    // has been handled, and a search would have shown by now.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_BLOCK, 5000, &ignored);
    EXPECT_EQ(enabled(dialog), (Controls{false, false, false, false, false, true}));
    click(dialog, IDC_CANCEL);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); }, kDriveMs));
  });
  EXPECT_EQ(temporaryFiles(), 0);
}

TEST_F(SearchDialog, CancelDuringASearchEndsAtOnceAndDropsTheResult) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "TX");
    click(dialog, IDC_CANCEL);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); }, 8000));
  });
  pumpMessages(1000);  // the worker finishes in the background
  EXPECT_EQ(searchDialog, nullptr);
  EXPECT_STREQ(settings.cities[0], "Oslo, Norway");
}

TEST_F(SearchDialog, EscapeDuringACommitStillCommits) {
  startWithOslo();
  openAndDrive([&](HWND dialog) {
    search(dialog, "78701");
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    click(dialog, IDC_OK);
    ASSERT_TRUE(waitFor([&] { return !enabled(dialog).cancel; }, kDriveMs));
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);  // what Escape sends
    EXPECT_TRUE(waitFor([&] { return !IsWindow(dialog); }, 8000));
  });
  EXPECT_TRUE(waitFor([] { return std::string(conditions.locationName) == "Austin, TX"; }, 10000));
  EXPECT_STREQ(settings.cities[0], "Austin, TX");
  EXPECT_STREQ(settings.cities[1], "Oslo, Norway");
  EXPECT_NE(readFile(settingsFile()).find("City0=Austin, TX"), std::string::npos);
}

const std::string kZurichPage =
    "<html><body><h2>Matching locations &mdash; 1 found</h2><ul><li><a "
    "class=\"resolveLinkSpecial\" href=\"/report/47.3667,8.5500/Zurich,_Switzerland\">"
    "Zurich, Switzerland</a></li></ul></body></html>";

// A stand-in service on a loopback port of its own: keeps the first line of
// each request and answers every one with `page`.
struct RequestRecorder {
  SOCKET listener = INVALID_SOCKET;
  int port = 0;
  HANDLE thread = nullptr;
  CRITICAL_SECTION lock;
  std::vector<std::string> lines;
  const std::string page;

  explicit RequestRecorder(std::string answer = kZurichPage) : page(std::move(answer)) {
    InitializeCriticalSection(&lock);
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (bind(listener, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        listen(listener, 4) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
      return;
    port = ntohs(address.sin_port);
    thread = CreateThread(
        nullptr, 0,
        [](void* self) -> DWORD { return static_cast<RequestRecorder*>(self)->serve(); }, this, 0,
        nullptr);
  }
  ~RequestRecorder() {
    closesocket(listener);  // ends the accept loop
    if (thread) WaitForSingleObject(thread, 5000), CloseHandle(thread);
    WSACleanup();
    DeleteCriticalSection(&lock);
  }
  DWORD serve() {
    for (SOCKET client; (client = accept(listener, nullptr, nullptr)) != INVALID_SOCKET;) {
      std::string request;
      char buffer[2048];
      DWORD timeout = 5000;
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout),
                 sizeof timeout);
      for (int got; request.find("\r\n\r\n") == std::string::npos && request.size() < 16384 &&
                    (got = recv(client, buffer, sizeof buffer, 0)) > 0;)
        request.append(buffer, got);
      EnterCriticalSection(&lock);
      lines.push_back(request.substr(0, request.find("\r\n")));
      LeaveCriticalSection(&lock);
      std::string answer =
          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nCache-Control: "
          "no-store\r\nConnection: close\r\nContent-Length: " +
          std::to_string(page.size()) + "\r\n\r\n" + page;
      send(client, answer.data(), int(answer.size()), 0);
      shutdown(client, SD_SEND);
      closesocket(client);
    }
    return 0;
  }
  std::vector<std::string> requests() {
    EnterCriticalSection(&lock);
    std::vector<std::string> copy = lines;
    LeaveCriticalSection(&lock);
    return copy;
  }
};

// A letter of the ANSI code page reaches the service as UTF-8, percent-encoded.
TEST_F(SearchDialog, ANonAsciiQueryReachesTheServiceAsUtf8) {
  startWithOslo();
  RequestRecorder service;
  ASSERT_GT(service.port, 0);
  ASSERT_TRUE(useServiceBaseUrl("http://127.0.0.1:" + std::to_string(service.port)));
  // "Zürich" as this system's code page writes it, as a user would type it.
  char typed[32] = "";
  WideCharToMultiByte(CP_ACP, 0, L"Z\u00FCrich  am See", -1, typed, sizeof typed, nullptr, nullptr);
  std::vector<std::string> shown;
  openAndDrive([&](HWND dialog) {
    search(dialog, typed);
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    shown = listed(dialog);
  });
  useServiceBaseUrl(kServiceBaseUrl);
  ASSERT_FALSE(service.requests().empty());
  EXPECT_EQ(service.requests()[0], "GET /?location=Z%C3%BCrich+am+See HTTP/1.1");
  EXPECT_EQ(shown, std::vector<std::string>{"Zurich, Switzerland"});
}

// The list sorts by text; OK gives the service's first, and the list drops
// down ten entries.
TEST_F(SearchDialog, NamesakesSelectTheServicesBestMatch) {
  startWithOslo();
  std::string page = "<h2>Top locations &mdash; best</h2>";
  auto link = [&](const std::string& name) {
    page += "<a class=\"resolveLinkSpecial\" href=\"/" + std::to_string(page.size()) + "\">" +
            name + "</a>";
  };
  link("Paris, France");
  link("Cormeilles-en-Parisis, France");
  for (int i = 1; i <= 10; ++i) link("Paris, " + std::to_string(i));
  RequestRecorder service(page);
  ASSERT_TRUE(useServiceBaseUrl("http://127.0.0.1:" + std::to_string(service.port)));
  LRESULT visible = 0;
  openAndDrive([&](HWND dialog) {
    search(dialog, "Paris");
    ASSERT_TRUE(waitFor([&] { return enabled(dialog).ok; }, kDriveMs));
    HWND results = GetDlgItem(dialog, IDC_RESULTS);
    SendMessageA(results, CB_SHOWDROPDOWN, TRUE, 0);
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    RECT list{};
    if (GetComboBoxInfo(results, &info) && GetClientRect(info.hwndList, &list))
      visible = list.bottom / std::max<LRESULT>(1, SendMessageA(results, CB_GETITEMHEIGHT, 0, 0));
    SendMessageA(results, CB_SHOWDROPDOWN, FALSE, 0);
    click(dialog, IDC_OK);
    waitFor([&] { return !IsWindow(dialog); }, kDriveMs);
  });
  useServiceBaseUrl(kServiceBaseUrl);
  EXPECT_STREQ(settings.cities[0], "Paris, France");
  EXPECT_EQ(visible, 10);
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
