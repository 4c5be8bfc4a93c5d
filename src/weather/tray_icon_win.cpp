#include "weather/tray_icon_win.h"

#include <cstring>
#include <vector>

#include "common/program_win.h"
#include "common/text.h"
#include "weather/tray_icon.h"

NOTIFYICONDATAA trayIcon{};

namespace {

HICON programIcon = nullptr;
HICON drawnIcon = nullptr;

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
  drawnIcon = status.iconText.empty() ? nullptr : makeTemperatureIcon(status.iconText, status.old);
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
