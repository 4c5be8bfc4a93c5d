#include "weather/tray_icon_win.h"

#include <cstring>
#include <vector>

#include "common/program_win.h"
#include "common/text.h"
#include "weather/tray_icon.h"

NOTIFYICONDATAA trayIcon{};

namespace {

// A `size` by `size` picture of 32-bit pixels, top row first.
BITMAPINFO squareArgb(int size) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size;
  info.bmiHeader.biHeight = -size;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

HICON programIcon = nullptr;
HICON drawnIcon = nullptr;

// Leaves the balloon out while the user has asked for quiet (Windows 7 on).
constexpr DWORD kRespectQuietTime = 0x80;  // NIIF_RESPECT_QUIET_TIME

int smallIconSize() {
  int size = GetSystemMetrics(SM_CXSMICON);
  return size > 0 ? size : 16;
}

// An icon of `pixels`, `size` by `size`.
HICON iconOfPixels(const std::vector<uint32_t>& pixels, int size) {
  BITMAPINFO info = squareArgb(size);
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

// `icon` drawn at `size` pixels; an icon without transparency of its own
// takes it from its mask.
std::vector<uint32_t> pixelsOfIcon(HICON icon, int size) {
  std::vector<uint32_t> pixels(static_cast<std::size_t>(size) * size, kIconClear);
  if (!icon) return pixels;
  BITMAPINFO info = squareArgb(size);
  HDC screen = GetDC(nullptr);
  HDC surface = CreateCompatibleDC(screen);
  void* colorBits = nullptr;
  void* maskBits = nullptr;
  HBITMAP color = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &colorBits, nullptr, 0);
  HBITMAP mask = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &maskBits, nullptr, 0);
  if (surface && color && mask) {
    HGDIOBJ before = SelectObject(surface, color);
    DrawIconEx(surface, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    SelectObject(surface, mask);
    DrawIconEx(surface, 0, 0, icon, size, size, 0, nullptr, DI_MASK);
    SelectObject(surface, before);
    GdiFlush();
    auto* drawn = static_cast<const uint32_t*>(colorBits);
    auto* masked = static_cast<const uint32_t*>(maskBits);
    bool alpha = false;
    for (std::size_t i = 0; i < pixels.size(); ++i) alpha = alpha || (drawn[i] >> 24) != 0;
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      bool opaque = alpha ? (drawn[i] >> 24) != 0 : (masked[i] & 0xFFFFFF) == 0;
      pixels[i] = opaque ? (alpha ? drawn[i] : drawn[i] | 0xFF000000) : kIconClear;
    }
  }
  if (color) DeleteObject(color);
  if (mask) DeleteObject(mask);
  if (surface) DeleteDC(surface);
  ReleaseDC(nullptr, screen);
  return pixels;
}

// The icon `status` asks for: its temperature drawn, the program's own icon
// with the warning mark, or none (the program's own as it is).
HICON makeStatusIcon(const TrayStatus& status) {
  if (status.iconText.empty() && !status.alertMark) return nullptr;
  int size = smallIconSize();
  std::vector<uint32_t> pixels = status.iconText.empty()
                                     ? pixelsOfIcon(programIcon, size)
                                     : trayIconPixels(status.iconText, size, status.old);
  if (status.alertMark) addAlertMark(pixels, size);
  return iconOfPixels(pixels, size);
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
  copyText(trayIcon.szTip, kConnectingTip);
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

void showTrayStatus(const TrayStatus& status) {
  copyText(trayIcon.szTip, status.tip);
  // The new icon is in place before the old one goes, so the taskbar never
  // holds a destroyed one.
  HICON previous = drawnIcon;
  drawnIcon = makeStatusIcon(status);
  trayIcon.hIcon = drawnIcon ? drawnIcon : programIcon;
  trayIcon.szInfoTitle[0] = '\0';
  trayIcon.szInfo[0] = '\0';
  Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
  if (previous) DestroyIcon(previous);
}

void showTrayBalloon(std::string_view title, std::string_view text) {
  copyText(trayIcon.szInfoTitle, title);
  copyText(trayIcon.szInfo, text);
  Shell_NotifyIconA(NIM_MODIFY, &trayIcon);
}

void showTrayWarning(std::string_view title, std::string_view text) {
  trayIcon.dwInfoFlags = NIIF_WARNING | kRespectQuietTime;
  showTrayBalloon(title, text);
  trayIcon.dwInfoFlags = NIIF_INFO;
}
