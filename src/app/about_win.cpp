#include "app/about_win.h"

#include <string>

#include "resource.h"
#include "weather/conditions_text.h"
#include "weather/weather_page.h"

namespace {

// The banner's picture redrawn at `width` by `height`; null when it cannot be.
HBITMAP scaledPicture(HBITMAP picture, int width, int height) {
  BITMAP record{};
  if (!GetObjectA(picture, sizeof record, &record) || width <= 0 || height <= 0) return nullptr;
  HDC screen = GetDC(nullptr);
  HDC from = CreateCompatibleDC(screen);
  HDC to = CreateCompatibleDC(screen);
  HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
  if (from && to && scaled) {
    HGDIOBJ oldFrom = SelectObject(from, picture);
    HGDIOBJ oldTo = SelectObject(to, scaled);
    SetStretchBltMode(to, HALFTONE);
    SetBrushOrgEx(to, 0, 0, nullptr);
    StretchBlt(to, 0, 0, width, height, from, 0, 0, record.bmWidth, record.bmHeight, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
  }
  if (from) DeleteDC(from);
  if (to) DeleteDC(to);
  ReleaseDC(nullptr, screen);
  return scaled;
}

void fitBanner(HWND dialog) {
  HWND banner = GetDlgItem(dialog, IDC_ABOUT_BANNER);
  auto picture = reinterpret_cast<HBITMAP>(SendMessageA(banner, STM_GETIMAGE, IMAGE_BITMAP, 0));
  RECT client{}, place{0, 0, 205, 43};
  GetClientRect(dialog, &client);
  MapDialogRect(dialog, &place);
  HBITMAP scaled = scaledPicture(picture, client.right, place.bottom);
  if (!banner || !scaled) {
    if (scaled) DeleteObject(scaled);
    return;
  }
  // The control hands back the picture it had, which is now ours to delete;
  // the scaled one goes with the dialog's pictures when it closes.
  auto previous = reinterpret_cast<HBITMAP>(
      SendMessageA(banner, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(scaled)));
  if (previous && previous != scaled) DeleteObject(previous);
  SetWindowPos(banner, nullptr, 0, 0, client.right, place.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void prepareAboutBox(HWND dialog) {
  SetDlgItemTextA(dialog, IDC_ABOUT_SOURCE, std::string(weatherCredit(conditions)).c_str());
  fitBanner(dialog);
}
