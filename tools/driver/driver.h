#pragma once
// Drives a running Skyvane from another process, the way a user does: with
// the messages that clicks on its tray icon and menu produce and with the
// Search dialog's controls; and reads back what a user sees: where the
// window stands, how opaque it is, and the digits in its pixels.

#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/window_ids_win.h"

namespace driver {

inline constexpr const char* kSearchCaption = "Search for Location";
inline constexpr const char* kNotFoundCaption = "Not found!";
inline constexpr const char* kUnreachableCaption = "No connection!";

// A Windows path from a Unix one (Wine maps / to drive Z:); Windows paths
// pass unchanged.
std::string windowsPath(const std::string& path);

// Asks `done` every `pollMs` until it holds or `timeoutMs` pass; true when it
// held. Serves no messages: for a thread that owns no windows.
bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs = 20);

// --- Folders and processes ---------------------------------------------

// Makes `folder` afresh as an installed copy: the program (as `exeName`), its
// skin and an empty Temp folder; no settings.
void layOutInstalledFolder(const std::string& folder, const std::string& exe,
                           const std::string& skins, const std::string& exeName = "Skyvane.exe");
std::string readFileText(const std::string& path);
void writeFileText(const std::string& path, const std::string& text);
bool fileExists(const std::string& path);
void removeTree(const std::string& folder);
void copyTree(const std::string& from, const std::string& to);

struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

// Starts `exe` with `folder` as its working folder, as a shortcut does, and
// returns at once: no window yet, and no process when it could not start.
Program startProcess(const std::string& exe, const std::string& folder);
// startProcess, then waits for the program's main window.
Program startProgram(const std::string& exe, const std::string& folder, DWORD timeoutMs = 15000);
// The main window of process `processId` (0: of any process) once it exists.
HWND waitForMainWindow(DWORD processId, DWORD timeoutMs);
// Waits for the process to end; its exit status, or nothing on a timeout.
std::optional<DWORD> waitForExit(Program& program, DWORD timeoutMs);
void closeHandles(Program& program);

// The folder of the program that owns `window`, as its process was started.
std::string programFolderOf(HWND window);
// Main windows of the program open now, of any process.
int mainWindowCount();

// True while the program in `folder` has a download that it has not loaded
// yet: it keeps each in a file of its own in its Temp folder until then.
bool downloadsPending(const std::string& folder);

// A refresh period gone by: the refresh timer's tick, sent; then waits until
// the download it started has ended (the program keeps each download in a
// file of its own in its Temp folder until it has loaded it) and the page
// has been handed over. False when it did not end in time.
bool refresh(HWND window, DWORD timeoutMs);

// The tray icon of `window` as the taskbar holds it now.
bool trayIconPresent(HWND window);
// Takes the icon out of the taskbar, as an Explorer that ends does.
void dropTrayIcon(HWND window);
// What a new taskbar broadcasts when it is up.
void announceTaskbar(HWND window);

// A top-level window of `processId` (0: any) with this class and caption.
HWND waitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs);

// --- What a user does ---------------------------------------------------

// A mouse event on the tray icon: WM_LBUTTONUP, WM_RBUTTONUP or
// NIN_BALLOONUSERCLICK.
void trayEvent(HWND window, UINT event);
// A menu item chosen: the command the menu sends the window.
void menuCommand(HWND window, UINT id);
void clickButton(HWND dialog, int id);

// Types `query` into the Search dialog and clicks Search; true once the
// results list holds entries (then OK is enabled) or the not-found box is up.
// The not-found and no-connection boxes are then up to the caller.
bool search(HWND dialog, const std::string& query, DWORD timeoutMs);
std::vector<std::string> results(HWND dialog);
// Selects the entry that reads `name` in the drop-down list.
bool choose(HWND dialog, const std::string& name);

// --- What a user sees ---------------------------------------------------

struct Placement {
  RECT rect{};
  BYTE alpha = 0;
  bool visible = false;
};
Placement placement(HWND window);
// Where a slid-in window of this size stands: bottom right of the work area.
RECT slidInRect(int width, int height);
inline constexpr BYTE kSlidInAlpha = 211;
// Waits for the window to stand slid in, fully faded in.
bool waitForSlideIn(HWND window, DWORD timeoutMs);

// Texts of the tooltip windows now shown (balloons among them).
std::vector<std::string> shownTooltips();

// Where the taskbar draws notification icons, on the screen: Wine's tray
// icon windows when it has them, else the taskbar.
std::vector<RECT> trayIconPlaces();
// A picture with transparency, 0xAARRGGBB, top row first.
struct Picture {
  int size = 0;  // square
  std::vector<uint32_t> pixels;
};
// An icon file's image at `size` pixels, as a picture.
Picture loadIconPicture(const std::string& path, int size);
// Waits until a tray icon shows `picture`: every fully opaque pixel of it,
// exactly, at one place (what lies under its clear pixels does not count;
// a picture without opaque pixels is never found).
// The place, or nothing when it did not show in time.
std::optional<RECT> waitForTrayPicture(const Picture& picture, DWORD timeoutMs);
// Points at `place` as a user does, again until the tooltip that comes up
// satisfies `wanted` or the time is up; answers the last tooltip seen.
std::string trayTooltip(const RECT& place, const std::function<bool(const std::string&)>& wanted,
                        DWORD timeoutMs);

// 0x00RRGGBB pixels, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Image captureScreen(const RECT& rect);
Image loadBitmapFile(const std::string& path);
bool saveBitmapFile(const Image& image, const std::string& path);

struct Skin {
  Image large[10];
  Image small[10];
  Image minus;
  Image smallMinus;
  Image units[2];  // Fahrenheit, Celsius
};
Skin loadSkin(const std::string& skinsFolder);

// The display as read from the window's pixels: both values as shown
// ("72", "-5") and the unit glyph ('F' or 'C'); empty texts where nothing
// matches the skin.
struct Reading {
  std::string temperature;
  std::string feelsLike;
  char unit = '?';
  bool operator==(const Reading&) const = default;
};
Reading readDisplay(const Image& window, const Skin& skin);
// The condition picture of the skin's Conditions folder that the window
// shows at its place ("rain"); empty when it shows none of them.
std::string shownCondition(const Image& window, const std::string& skinsFolder);
// What the display shows for a value: its sign and at most its two leading
// digits, since the skin has no more places.
std::string shownText(int value);
int toCelsius(int fahrenheit);

// Reads the window until it shows one of `expected` or the time is up;
// answers the last reading.
Reading waitForReading(HWND window, const Skin& skin, const std::vector<Reading>& expected,
                       DWORD timeoutMs);

// --- The weather service ------------------------------------------------

// A stand-in for the service on a free loopback port, for what the sample
// service cannot do: it counts the requests that reach it, and answers each
// with `page` or, when `page` is empty, never answers (it reads the request
// and holds the connection).
struct Listener {
  uintptr_t socket = ~uintptr_t{0};
  int port = 0;
  std::string page;
  SRWLOCK pageLock = SRWLOCK_INIT;  // setListenerPage may change the page while it serves
  volatile LONG requests = 0;
  HANDLE thread = nullptr;
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port) + path;
  }
};
// Starts listening; false when no port could be had.
bool startListener(Listener& listener, const std::string& page);
void stopListener(Listener& listener);
// The page that the listener answers from now on.
void setListenerPage(Listener& listener, const std::string& page);

struct Report {
  int temperature = 0;  // °F
  int feelsLike = 0;
  // The same to a tenth, from the page's head, when it gives them ("41.5").
  std::string exactTemperature = {}, exactFeelsLike = {};
  bool operator==(const Report&) const = default;
};
// Fetches a report page straight from the service, past every cache.
std::optional<std::string> fetchUncached(const std::string& url);
std::optional<Report> parseReport(const std::string& page);
Reading expectedReading(const Report& report, bool metric);
// `page` with the mark of a reading observed `secondsAgo` seconds ago, by
// this computer's clock, first in its head.
std::string withObservedMark(const std::string& page, int secondsAgo);

}  // namespace driver
