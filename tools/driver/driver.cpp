#include <winsock2.h>

#include "driver.h"

#include <psapi.h>
#include <wininet.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "resource.h"

namespace driver {

namespace {

struct WindowQuery {
  DWORD processId;
  const char* className;
  const char* caption;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<WindowQuery*>(parameter);
  char name[256] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, query->className) != 0) return TRUE;
  if (query->caption) {
    char caption[256] = "";
    GetWindowTextA(window, caption, sizeof caption);
    if (lstrcmpA(caption, query->caption) != 0) return TRUE;
  }
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (query->processId && owner != query->processId) return TRUE;
  query->found = window;
  return FALSE;
}

HWND findWindow(DWORD processId, const char* className, const char* caption) {
  WindowQuery query{processId, className, caption, nullptr};
  EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&query));
  return query.found;
}

BOOL CALLBACK collectTooltip(HWND window, LPARAM parameter) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpiA(name, "tooltips_class32") != 0 || !IsWindowVisible(window)) return TRUE;
  char text[1024] = "";
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, &ignored);
  reinterpret_cast<std::vector<std::string>*>(parameter)->push_back(text);
  return TRUE;
}

// Where the display puts a value: two digit places, a single-digit place and
// a minus place for each count of digits (the skin's layout).
struct Places {
  int digitY, leftX, rightX, singleX, minusY, minusBeforeOneX, minusBeforeTwoX;
};
constexpr Places kLargePlaces = {49, 23, 45, 34, 63, 24, 13};
constexpr Places kSmallPlaces = {35, 123, 131, 126, 40, 121, 118};
constexpr int kUnitX = 82;
constexpr int kUnitY = 57;

// Mean difference per colour channel between a glyph and the window's pixels
// under it. Wine without a compositing manager shows a layered window
// opaquely, so a glyph in place matches exactly; the tolerance only allows
// for a screen that blends a little.
constexpr double kTolerance = 6.0;

double difference(const Image& window, int x, int y, const Image& glyph) {
  if (glyph.width == 0 || x < 0 || y < 0 || x + glyph.width > window.width ||
      y + glyph.height > window.height) {
    return 1e9;
  }
  double sum = 0;
  for (int row = 0; row < glyph.height; ++row) {
    for (int column = 0; column < glyph.width; ++column) {
      uint32_t a = window.at(x + column, y + row);
      uint32_t b = glyph.at(column, row);
      for (int shift = 0; shift < 24; shift += 8) {
        sum +=
            std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF));
      }
    }
  }
  return sum / (3.0 * glyph.width * glyph.height);
}

struct Match {
  int digit = -1;
  double error = 1e9;
};

Match bestDigit(const Image& window, int x, int y, const Image (&digits)[10]) {
  Match best;
  for (int n = 0; n < 10; ++n) {
    double error = difference(window, x, y, digits[n]);
    if (error < best.error) best = {n, error};
  }
  if (best.error > kTolerance) best.digit = -1;
  return best;
}

std::string readValue(const Image& window, const Places& places, const Image (&digits)[10],
                      const Image& minus) {
  Match left = bestDigit(window, places.leftX, places.digitY, digits);
  Match right = bestDigit(window, places.rightX, places.digitY, digits);
  Match single = bestDigit(window, places.singleX, places.digitY, digits);
  bool two = left.digit >= 0 && right.digit >= 0;
  if (two && single.digit >= 0) two = std::max(left.error, right.error) <= single.error;
  std::string text;
  int minusX = 0;
  if (two) {
    text = {static_cast<char>('0' + left.digit), static_cast<char>('0' + right.digit)};
    minusX = places.minusBeforeTwoX;
  } else if (single.digit >= 0) {
    text = {static_cast<char>('0' + single.digit)};
    minusX = places.minusBeforeOneX;
  } else {
    return "";
  }
  if (difference(window, minusX, places.minusY, minus) <= kTolerance) text = "-" + text;
  return text;
}

std::optional<int> integerAfter(const std::string& page, const std::string& marker) {
  std::size_t at = page.find(marker);
  if (at == std::string::npos) return std::nullopt;
  const char* start = page.c_str() + at + marker.size();
  char* end = nullptr;
  long value = std::strtol(start, &end, 10);
  if (end == start) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD pollMs) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(pollMs);
  }
  return true;
}

std::string windowsPath(const std::string& path) {
  std::string result = path;
  if (!result.empty() && result[0] == '/') result = "Z:" + result;
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

void removeTree(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = entry.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

void copyTree(const std::string& from, const std::string& to) {
  CreateDirectoryA(to.c_str(), nullptr);
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((from + "\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      copyTree(from + "\\" + name, to + "\\" + name);
    } else {
      CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    }
  } while (FindNextFileA(search, &entry));
  FindClose(search);
}

void layOutInstalledFolder(const std::string& folder, const std::string& exe,
                           const std::string& skins, const std::string& exeName) {
  removeTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  CopyFileA(exe.c_str(), (folder + "\\" + exeName).c_str(), FALSE);
  copyTree(skins, folder + "\\Skins");
  CreateDirectoryA((folder + "\\Temp").c_str(), nullptr);
}

std::string readFileText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFileText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

Program startProcess(const std::string& exe, const std::string& folder) {
  Program program;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &program.process)) {
    program.process = {};
  }
  return program;
}

Program startProgram(const std::string& exe, const std::string& folder, DWORD timeoutMs) {
  Program program = startProcess(exe, folder);
  if (!program.process.hProcess) return program;
  // The window exists from the start of its creation, which runs the first
  // download; the program takes input once its message loop waits.
  WaitForInputIdle(program.process.hProcess, timeoutMs);
  program.window = waitForMainWindow(program.process.dwProcessId, timeoutMs);
  return program;
}

HWND waitForWindow(DWORD processId, const char* className, const char* caption, DWORD timeoutMs) {
  HWND found = nullptr;
  // A dialog is shown only once its controls exist and it has been initialised.
  waitUntil(
      [&] {
        found = findWindow(processId, className, caption);
        return found != nullptr && IsWindowVisible(found);
      },
      timeoutMs);
  return found;
}

HWND waitForMainWindow(DWORD processId, DWORD timeoutMs) {
  return waitForWindow(processId, "Skyvane", "Skyvane", timeoutMs);
}

std::optional<DWORD> waitForExit(Program& program, DWORD timeoutMs) {
  if (!program.process.hProcess ||
      WaitForSingleObject(program.process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD status = 0;
  GetExitCodeProcess(program.process.hProcess, &status);
  return status;
}

void closeHandles(Program& program) {
  if (program.process.hThread) CloseHandle(program.process.hThread);
  if (program.process.hProcess) CloseHandle(program.process.hProcess);
  program.process = {};
}

std::string programFolderOf(HWND window) {
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
  if (!process) return {};
  char path[MAX_PATH * 2] = "";
  DWORD size = sizeof path;
  BOOL known = QueryFullProcessImageNameA(process, 0, path, &size);
  CloseHandle(process);
  if (!known) return {};
  std::string folder(path, size);
  return folder.substr(0, folder.rfind('\\'));
}

int mainWindowCount() {
  int count = 0;
  for (HWND window = nullptr; (window = FindWindowExA(nullptr, window, "Skyvane", "Skyvane"));) {
    ++count;
  }
  return count;
}

bool downloadsPending(const std::string& folder) {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((folder + "\\Temp\\*.tmp").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

bool refresh(HWND window, DWORD timeoutMs) {
  std::string folder = programFolderOf(window);
  DWORD_PTR ignored = 0;
  if (folder.empty() ||
      !SendMessageTimeoutA(window, WM_TIMER, TIMER_REFRESH, 0, SMTO_NORMAL, timeoutMs, &ignored)) {
    return false;
  }
  if (!waitUntil([&] { return !downloadsPending(folder); }, timeoutMs)) return false;
  // The page is handed over by a posted message right after its file goes.
  Sleep(50);
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

namespace {

NOTIFYICONDATAA iconOf(HWND window) {
  NOTIFYICONDATAA icon{};
  icon.cbSize = NOTIFYICONDATAA_V2_SIZE;
  icon.hWnd = window;
  icon.uID = TRAY_ICON_ID;
  return icon;
}

}  // namespace

bool trayIconPresent(HWND window) {
  // A change of nothing succeeds exactly when the icon is there.
  NOTIFYICONDATAA icon = iconOf(window);
  return Shell_NotifyIconA(NIM_MODIFY, &icon) != FALSE;
}

void dropTrayIcon(HWND window) {
  NOTIFYICONDATAA icon = iconOf(window);
  Shell_NotifyIconA(NIM_DELETE, &icon);
}

void announceTaskbar(HWND window) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(window, RegisterWindowMessageA("TaskbarCreated"), 0, 0, SMTO_NORMAL, 5000,
                      &ignored);
}

void trayEvent(HWND window, UINT event) {
  PostMessageA(window, WM_TRAYNOTIFY, TRAY_ICON_ID, event);
}

void menuCommand(HWND window, UINT id) { PostMessageA(window, WM_COMMAND, id, 0); }

// Sent, not posted: when it returns the dialog has handled the click, so a
// search has disabled its button and no earlier result can pass for its own.
void clickButton(HWND dialog, int id) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(GetDlgItem(dialog, id), BM_CLICK, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

bool search(HWND dialog, const std::string& query, DWORD timeoutMs) {
  HWND list = GetDlgItem(dialog, IDC_RESULTS);
  HWND searchButton = GetDlgItem(dialog, IDC_SEARCH);
  HWND ok = GetDlgItem(dialog, IDC_OK);
  SendMessageA(GetDlgItem(dialog, IDC_QUERY), WM_SETTEXT, 0,
               reinterpret_cast<LPARAM>(query.c_str()));
  clickButton(dialog, IDC_SEARCH);
  DWORD processId = 0;
  GetWindowThreadProcessId(dialog, &processId);
  return waitUntil(
      [&] {
        bool listed = IsWindowEnabled(searchButton) && IsWindowEnabled(ok) &&
                      SendMessageA(list, CB_GETCOUNT, 0, 0) > 0;
        return listed || findWindow(processId, "#32770", kNotFoundCaption) != nullptr;
      },
      timeoutMs);
}

std::vector<std::string> results(HWND dialog) {
  HWND list = GetDlgItem(dialog, IDC_RESULTS);
  std::vector<std::string> texts;
  LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    // Wine hands an ANSI list's text to another process's ANSI call as wide
    // characters; the wide call comes back whole.
    wchar_t wide[512] = L"";
    if (SendMessageW(list, CB_GETLBTEXTLEN, i, 0) >= LRESULT{512}) continue;
    SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
    char text[1024] = "";
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    texts.push_back(text);
  }
  return texts;
}

bool choose(HWND dialog, const std::string& name) {
  std::vector<std::string> texts = results(dialog);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (texts[i] == name) {
      return SendMessageA(GetDlgItem(dialog, IDC_RESULTS), CB_SETCURSEL, i, 0) ==
             static_cast<LRESULT>(i);
    }
  }
  return false;
}

Placement placement(HWND window) {
  Placement result;
  GetWindowRect(window, &result.rect);
  DWORD flags = 0;
  COLORREF key = 0;
  if (!GetLayeredWindowAttributes(window, &key, &result.alpha, &flags) || !(flags & LWA_ALPHA)) {
    result.alpha = 255;
  }
  result.visible = IsWindowVisible(window) != FALSE;
  return result;
}

RECT slidInRect(int width, int height) {
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  int left = work.right - width - 17;
  int top = work.bottom - height;
  return RECT{left, top, left + width, top + height};
}

bool waitForSlideIn(HWND window, DWORD timeoutMs) {
  return waitUntil(
      [&] {
        Placement now = placement(window);
        RECT target = slidInRect(now.rect.right - now.rect.left, now.rect.bottom - now.rect.top);
        return now.visible && now.alpha == kSlidInAlpha && EqualRect(&now.rect, &target);
      },
      timeoutMs);
}

std::vector<std::string> shownTooltips() {
  std::vector<std::string> texts;
  EnumWindows(collectTooltip, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

namespace {

BOOL CALLBACK collectTrayPlace(HWND window, LPARAM parameter) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "__winex11_tray_icon") == 0 && IsWindowVisible(window)) {
    RECT rect{};
    GetWindowRect(window, &rect);
    reinterpret_cast<std::vector<RECT>*>(parameter)->push_back(rect);
  }
  return TRUE;
}

BOOL CALLBACK collectTrayWindows(HWND window, LPARAM parameter) {
  char name[64] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, "__winex11_standalone_tray") == 0) {
    EnumChildWindows(window, collectTrayPlace, parameter);
  }
  return TRUE;
}

bool showsPicture(const Image& screen, int x, int y, const Picture& picture) {
  for (int row = 0; row < picture.size; ++row) {
    for (int column = 0; column < picture.size; ++column) {
      uint32_t pixel = picture.pixels[static_cast<size_t>(row) * picture.size + column];
      if ((pixel >> 24) != 0xFF) continue;
      if (screen.at(x + column, y + row) != (pixel & 0xFFFFFF)) return false;
    }
  }
  return true;
}

}  // namespace

std::vector<RECT> trayIconPlaces() {
  // Wine without a desktop shows each icon in a window of its own; Wine's
  // desktop and Windows draw them on the taskbar.
  std::vector<RECT> places;
  EnumWindows(collectTrayWindows, reinterpret_cast<LPARAM>(&places));
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  RECT rect{};
  if (taskbar && IsWindowVisible(taskbar) && GetWindowRect(taskbar, &rect)) places.push_back(rect);
  return places;
}

Picture loadIconPicture(const std::string& path, int size) {
  Picture picture;
  auto icon = static_cast<HICON>(
      LoadImageA(nullptr, path.c_str(), IMAGE_ICON, size, size, LR_LOADFROMFILE));
  ICONINFO parts{};
  if (!icon || !GetIconInfo(icon, &parts)) return picture;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  picture.size = size;
  picture.pixels.resize(static_cast<size_t>(size) * size);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, parts.hbmColor, 0, size, picture.pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(parts.hbmColor);
  DeleteObject(parts.hbmMask);
  DestroyIcon(icon);
  return picture;
}

std::optional<RECT> waitForTrayPicture(const Picture& picture, DWORD timeoutMs) {
  std::optional<RECT> found;
  bool opaque = false;
  for (uint32_t pixel : picture.pixels) opaque = opaque || (pixel >> 24) == 0xFF;
  if (!opaque) return found;
  waitUntil(
      [&] {
        for (const RECT& place : trayIconPlaces()) {
          Image screen = captureScreen(place);
          for (int y = 0; y + picture.size <= screen.height; ++y) {
            for (int x = 0; x + picture.size <= screen.width; ++x) {
              if (showsPicture(screen, x, y, picture)) {
                found = RECT{place.left + x, place.top + y, place.left + x + picture.size,
                             place.top + y + picture.size};
                return true;
              }
            }
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

std::string trayTooltip(const RECT& place, const std::function<bool(const std::string&)>& wanted,
                        DWORD timeoutMs) {
  std::string last;
  DWORD start = GetTickCount();
  do {
    // Away first, so that the tooltip closes and comes up anew, with the
    // icon's text as it is now.
    SetCursorPos(place.right + 200, place.bottom + 200);
    waitUntil([] { return shownTooltips().empty(); }, 2000);
    SetCursorPos((place.left + place.right) / 2, (place.top + place.bottom) / 2);
    waitUntil(
        [&] {
          for (const std::string& text : shownTooltips()) {
            if (!text.empty()) last = text;
          }
          return wanted(last);
        },
        3000);
  } while (!wanted(last) && GetTickCount() - start < timeoutMs);
  return last;
}

Image captureScreen(const RECT& rect) {
  Image image;
  image.width = rect.right - rect.left;
  image.height = rect.bottom - rect.top;
  if (image.width <= 0 || image.height <= 0) return {};
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, section);
  BitBlt(memory, 0, 0, image.width, image.height, screen, rect.left, rect.top,
         SRCCOPY | CAPTUREBLT);
  GdiFlush();
  const auto* pixels = static_cast<const uint32_t*>(bits);
  image.pixels.assign(pixels, pixels + static_cast<size_t>(image.width) * image.height);
  for (uint32_t& pixel : image.pixels) pixel &= 0xFFFFFF;
  SelectObject(memory, previous);
  DeleteObject(section);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return image;
}

Image loadBitmapFile(const std::string& path) {
  Image image;
  auto bitmap = static_cast<HBITMAP>(
      LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION));
  if (!bitmap) return image;
  BITMAP record{};
  GetObjectA(bitmap, sizeof record, &record);
  image.width = record.bmWidth;
  image.height = record.bmHeight;
  image.pixels.resize(static_cast<size_t>(image.width) * image.height);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bitmap, 0, image.height, image.pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  DeleteObject(bitmap);
  for (uint32_t& pixel : image.pixels) pixel &= 0xFFFFFF;
  return image;
}

bool saveBitmapFile(const Image& image, const std::string& path) {
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = image.width;
  header.biHeight = -image.height;
  header.biPlanes = 1;
  header.biBitCount = 32;
  header.biCompression = BI_RGB;
  DWORD bytes = static_cast<DWORD>(image.pixels.size() * 4);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + bytes;
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(reinterpret_cast<const char*>(image.pixels.data()), bytes);
  return static_cast<bool>(out);
}

Skin loadSkin(const std::string& skinsFolder) {
  Skin skin;
  for (int n = 0; n < 10; ++n) {
    skin.large[n] = loadBitmapFile(skinsFolder + "\\Numbers\\" + std::to_string(n) + ".bmp");
    skin.small[n] = loadBitmapFile(skinsFolder + "\\Small Numbers\\" + std::to_string(n) + ".bmp");
  }
  skin.minus = loadBitmapFile(skinsFolder + "\\Minus\\Minus.bmp");
  skin.smallMinus = loadBitmapFile(skinsFolder + "\\Minus\\SmallMinus.bmp");
  skin.units[0] = loadBitmapFile(skinsFolder + "\\Metric\\0.bmp");
  skin.units[1] = loadBitmapFile(skinsFolder + "\\Metric\\1.bmp");
  return skin;
}

Reading readDisplay(const Image& window, const Skin& skin) {
  Reading reading;
  reading.temperature = readValue(window, kLargePlaces, skin.large, skin.minus);
  reading.feelsLike = readValue(window, kSmallPlaces, skin.small, skin.smallMinus);
  double fahrenheit = difference(window, kUnitX, kUnitY, skin.units[0]);
  double celsius = difference(window, kUnitX, kUnitY, skin.units[1]);
  if (std::min(fahrenheit, celsius) <= kTolerance) reading.unit = fahrenheit <= celsius ? 'F' : 'C';
  return reading;
}

std::string shownCondition(const Image& window, const std::string& skinsFolder) {
  constexpr int kConditionX = 4, kConditionY = 4;
  WIN32_FIND_DATAA found{};
  std::string folder = skinsFolder + "\\Conditions\\";
  HANDLE search = FindFirstFileA((folder + "*.bmp").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return {};
  std::string best;
  double bestError = kTolerance;
  do {
    std::string name = found.cFileName;
    double error = difference(window, kConditionX, kConditionY, loadBitmapFile(folder + name));
    if (error <= bestError) {
      best = name.substr(0, name.size() - 4);
      bestError = error;
    }
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return best;
}

std::string shownText(int value) {
  std::string digits = std::to_string(std::abs(static_cast<long long>(value)));
  return (value < 0 ? "-" : "") + digits.substr(0, 2);
}

// Whole degrees as a user should see them: rounded to the nearest, halves
// away from zero, from the page's tenths when they are this reading's.
int shownDegrees(int fahrenheit, const std::string& exact, bool metric) {
  double value = fahrenheit;
  if (!exact.empty()) {
    double tenths = std::atof(exact.c_str());
    if (std::fabs(tenths - fahrenheit) <= 1.0) value = tenths;
  }
  return static_cast<int>(std::round(metric ? (value - 32.0) / 1.8 : value));
}

// The content of a head mark such as <meta name="skyvane-temperature" content="41.5">.
std::string headMarkContent(const std::string& page, const std::string& name) {
  std::string marker = "<meta name=\"" + name + "\" content=\"";
  std::size_t at = page.find(marker);
  if (at == std::string::npos) return {};
  at += marker.size();
  std::size_t end = page.find('"', at);
  return end == std::string::npos ? std::string() : page.substr(at, end - at);
}

Reading waitForReading(HWND window, const Skin& skin, const std::vector<Reading>& expected,
                       DWORD timeoutMs) {
  Reading last;
  waitUntil(
      [&] {
        RECT rect{};
        GetWindowRect(window, &rect);
        last = readDisplay(captureScreen(rect), skin);
        for (const Reading& one : expected) {
          if (one == last) return true;
        }
        return false;
      },
      timeoutMs);
  return last;
}

std::optional<std::string> fetchUncached(const std::string& url) {
  HINTERNET session =
      InternetOpenA("skyvane-driver", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!session) return std::nullopt;
  std::optional<std::string> page;
  HINTERNET request = InternetOpenUrlA(
      session, url.c_str(), nullptr, 0,
      INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
  if (request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                   nullptr);
    std::string body;
    char buffer[4096];
    DWORD read = 0;
    while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0) {
      body.append(buffer, read);
    }
    if (status == 200) page = body;
    InternetCloseHandle(request);
  }
  InternetCloseHandle(session);
  return page;
}

std::optional<Report> parseReport(const std::string& page) {
  // The service writes <span id="currentTemperature">72&deg;F</span> and
  // <dd class="value feels-like">70&deg;F</dd>.
  std::optional<int> temperature = integerAfter(page, "id=\"currentTemperature\">");
  std::optional<int> feelsLike = integerAfter(page, "class=\"value feels-like\">");
  if (!temperature || !feelsLike) return std::nullopt;
  return Report{*temperature, *feelsLike, headMarkContent(page, "skyvane-temperature"),
                headMarkContent(page, "skyvane-feels-like")};
}

Reading expectedReading(const Report& report, bool metric) {
  return Reading{shownText(shownDegrees(report.temperature, report.exactTemperature, metric)),
                 shownText(shownDegrees(report.feelsLike, report.exactFeelsLike, metric)),
                 metric ? 'C' : 'F'};
}

std::string withObservedMark(const std::string& page, int secondsAgo) {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
  time.QuadPart -= static_cast<ULONGLONG>(secondsAgo) * 10000000;
  FILETIME then{time.LowPart, time.HighPart};
  SYSTEMTIME utc;
  FileTimeToSystemTime(&then, &utc);
  char mark[96];
  wsprintfA(mark, "<meta name=\"skyvane-observed\" content=\"%04u-%02u-%02uT%02u:%02u:%02uZ\">",
            utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute, utc.wSecond);
  std::size_t head = page.find("<head>");
  head = head == std::string::npos ? 0 : head + 6;
  return page.substr(0, head) + mark + page.substr(head);
}

namespace {

DWORD WINAPI serveListener(void* parameter) {
  auto* listener = static_cast<Listener*>(parameter);
  auto server = static_cast<SOCKET>(listener->socket);
  for (;;) {
    SOCKET client = accept(server, nullptr, nullptr);
    if (client == INVALID_SOCKET) return 0;  // closed by stopListener
    std::string request;
    char buffer[2048];
    int got = 0;
    while (request.find("\r\n\r\n") == std::string::npos &&
           (got = recv(client, buffer, sizeof buffer, 0)) > 0) {
      request.append(buffer, got);
    }
    InterlockedIncrement(&listener->requests);
    AcquireSRWLockShared(&listener->pageLock);
    std::string page = listener->page;
    ReleaseSRWLockShared(&listener->pageLock);
    if (page.empty()) continue;  // held open, never answered
    std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
                         std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
    send(client, answer.data(), static_cast<int>(answer.size()), 0);
    closesocket(client);
  }
}

}  // namespace

bool startListener(Listener& listener, const std::string& page) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
  SOCKET server = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (server == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof address;
  if (bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(server, 16) != 0 ||
      getsockname(server, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    closesocket(server);
    return false;
  }
  listener.socket = server;
  listener.port = ntohs(address.sin_port);
  listener.page = page;
  listener.requests = 0;
  listener.thread = CreateThread(nullptr, 0, serveListener, &listener, 0, nullptr);
  return listener.thread != nullptr;
}

void setListenerPage(Listener& listener, const std::string& page) {
  AcquireSRWLockExclusive(&listener.pageLock);
  listener.page = page;
  ReleaseSRWLockExclusive(&listener.pageLock);
}

void stopListener(Listener& listener) {
  if (listener.thread == nullptr) return;
  closesocket(static_cast<SOCKET>(listener.socket));
  WaitForSingleObject(listener.thread, 5000);
  CloseHandle(listener.thread);
  listener.thread = nullptr;
}

}  // namespace driver
