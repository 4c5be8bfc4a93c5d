// Paints the main window's face with the skin under the current directory
// through the program's own paint, for the temperature 72 and feels-like 68
// in Fahrenheit under a partly cloudy sky by day, and writes what the window shows as a 24-bit BMP.
//   window_shot.exe OUTPUT.bmp

#include <windows.h>

#include <cstdio>
#include <vector>

#include "common/program_win.h"
#include "settings/settings.h"
#include "skin/display_win.h"
#include "skin/skin_win.h"
#include "weather/weather_page.h"

// The paint reads these globals; the rest of the program is not linked in.
// With no program folder set, the skin is read under the current directory.
Conditions conditions{};
Settings settings{};

namespace {

LRESULT CALLBACK shotWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    paintDisplay(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_shot OUTPUT.bmp\n");
    return 2;
  }
  copyText(conditions.temperatureText, "72");
  copyText(conditions.feelsLikeText, "68");
  copyText(conditions.weatherCodeText, "2");
  copyText(conditions.daytimeText, "1");
  appInstance = GetModuleHandleA(nullptr);

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = shotWindowProc;
  windowClass.hInstance = appInstance;
  windowClass.lpszClassName = "SkyvaneShot";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "SkyvaneShot", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, appInstance, nullptr);
  prepareSkin(window);
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);

  int width = skinSet.sizes.background.width;
  int height = skinSet.sizes.background.height;
  if (width <= 0 || height <= 0) {
    std::fprintf(stderr, "no Skins\\MainWindow.bmp under the current directory\n");
    return 1;
  }
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a BMP file stores it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void* bits = nullptr;
  HDC windowSurface = GetDC(window);
  HBITMAP section = CreateDIBSection(windowSurface, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC copy = CreateCompatibleDC(windowSurface);
  SelectObject(copy, section);
  BitBlt(copy, 0, 0, width, height, windowSurface, 0, 0, SRCCOPY);
  GdiFlush();

  DWORD imageSize = ((width * 3 + 3) & ~3) * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info.bmiHeader;
  file.bfSize = file.bfOffBits + imageSize;
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  std::fwrite(&file, sizeof file, 1, out);
  std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
  std::fwrite(bits, imageSize, 1, out);
  std::fclose(out);

  ReleaseDC(window, windowSurface);
  freeSkin();
  DestroyWindow(window);
  return 0;
}
