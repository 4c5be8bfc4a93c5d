#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "skin/display_win.h"
#include "skin/skin_win.h"
#include "weather/weather_page.h"

namespace {

constexpr int kWidth = 180;
constexpr int kHeight = 90;

// A test skin of solid, distinct colours, so every pixel of the window tells
// which picture was copied there. The large 1 is narrower and the Celsius
// glyph larger than their kind's measured picture.
struct TestPicture {
  std::string path;
  int width;
  int height;
  COLORREF colour;
};

std::string largePath(int d) { return "Skins\\Numbers\\" + std::to_string(d) + ".bmp"; }
std::string smallPath(int d) { return "Skins\\Small Numbers\\" + std::to_string(d) + ".bmp"; }
const char* const kBackgroundPath = "Skins\\MainWindow.bmp";
const char* const kFahrenheitPath = "Skins\\Metric\\0.bmp";
const char* const kCelsiusPath = "Skins\\Metric\\1.bmp";
const char* const kMinusPath = "Skins\\Minus\\Minus.bmp";
const char* const kSmallMinusPath = "Skins\\Minus\\SmallMinus.bmp";
constexpr COLORREF kBackgroundColour = RGB(40, 40, 40);

std::vector<TestPicture> testSkin() {
  std::vector<TestPicture> skin = {{kBackgroundPath, kWidth, kHeight, kBackgroundColour}};
  for (int d = 0; d < 10; ++d) {
    skin.push_back({largePath(d), d == 1 ? 12 : 22, 30, RGB(250, 20 * d, 0)});
    skin.push_back({smallPath(d), 8, 12, RGB(0, 20 * d, 250)});
  }
  skin.push_back({kFahrenheitPath, 20, 14, RGB(0, 250, 0)});
  skin.push_back({kCelsiusPath, 24, 16, RGB(0, 250, 120)});
  skin.push_back({kMinusPath, 10, 4, RGB(250, 250, 0)});
  skin.push_back({kSmallMinusPath, 4, 2, RGB(250, 0, 250)});
  return skin;
}

void writeBmp(const std::string& path, int width, int height, COLORREF colour) {
  int stride = (width * 3 + 3) & ~3;
  BITMAPFILEHEADER file = {};
  BITMAPINFOHEADER info = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof info;
  file.bfSize = file.bfOffBits + stride * height;
  info.biSize = sizeof info;
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  std::vector<char> pixels(stride * height, 0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      char* p = &pixels[y * stride + x * 3];
      p[0] = static_cast<char>(GetBValue(colour));
      p[1] = static_cast<char>(GetGValue(colour));
      p[2] = static_cast<char>(GetRValue(colour));
    }
  }
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(pixels.data(), pixels.size());
}

const char* const kFolders[] = {"Skins", "Skins\\Numbers", "Skins\\Small Numbers", "Skins\\Metric",
                                "Skins\\Minus"};

void removeSkin() {
  for (const TestPicture& picture : testSkin()) DeleteFileA(picture.path.c_str());
  for (int i = std::size(kFolders) - 1; i >= 0; --i) RemoveDirectoryA(kFolders[i]);
}

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    paintDisplay(window);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// A plain top-most popup, created off the corner so the creation steps must
// move it there.
HWND openWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = testWindowProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "SkinTestWindow";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowExA(WS_EX_TOPMOST, "SkinTestWindow", "", WS_POPUP, 300, 200, 10, 10,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  prepareSkin(window);
  return window;
}

void showAndPaint(HWND window) {
  ShowWindow(window, SW_SHOW);
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  InvalidateRect(window, nullptr, FALSE);
  UpdateWindow(window);
  GdiFlush();
}

// The window's pixels as 0x00BBGGRR, read back through its own drawing context.
std::vector<COLORREF> windowPixels(HWND window) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = kWidth;
  info.bmiHeader.biHeight = -kHeight;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC windowSurface = GetDC(window);
  HBITMAP section = CreateDIBSection(windowSurface, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HDC copy = CreateCompatibleDC(windowSurface);
  HGDIOBJ old = SelectObject(copy, section);
  BitBlt(copy, 0, 0, kWidth, kHeight, windowSurface, 0, 0, SRCCOPY);
  GdiFlush();
  std::vector<COLORREF> pixels(kWidth * kHeight);
  const auto* bgrx = static_cast<const uint32_t*>(bits);
  for (int i = 0; i < kWidth * kHeight; ++i) {
    uint32_t p = bgrx[i];
    pixels[i] = RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
  }
  SelectObject(copy, old);
  DeleteDC(copy);
  DeleteObject(section);
  ReleaseDC(window, windowSurface);
  return pixels;
}

// One copy the paint should make: the picture's file, where it lands and the
// measured size of its kind.
struct Copy {
  std::string path;
  int x;
  int y;
  int width;
  int height;
};

Copy large(int d, int x) { return {largePath(d), x, 49, 22, 30}; }
Copy small(int d, int x) { return {smallPath(d), x, 35, 8, 12}; }
Copy minus(int x) { return {kMinusPath, x, 63, 10, 4}; }
Copy smallMinus(int x) { return {kSmallMinusPath, x, 40, 4, 2}; }
const Copy kFahrenheit = {kFahrenheitPath, 82, 57, 20, 14};
const Copy kCelsius = {kCelsiusPath, 82, 57, 20, 14};  // at the Fahrenheit glyph's size

// The picture expected on the window: the background, then each copy as an
// opaque rectangle cut to its own picture's size.
std::vector<COLORREF> expectedPixels(const std::vector<Copy>& copies) {
  std::vector<COLORREF> pixels(kWidth * kHeight, kBackgroundColour);
  std::vector<TestPicture> skin = testSkin();
  for (const Copy& copy : copies) {
    for (const TestPicture& picture : skin) {
      if (picture.path != copy.path) continue;
      int right = std::min(copy.x + std::min(copy.width, picture.width), kWidth);
      int bottom = std::min(copy.y + std::min(copy.height, picture.height), kHeight);
      for (int y = copy.y; y < bottom; ++y) {
        for (int x = copy.x; x < right; ++x) pixels[y * kWidth + x] = picture.colour;
      }
    }
  }
  return pixels;
}

struct PaintCase {
  const char* name;
  const char* temperature;
  const char* feelsLike;
  bool metric;
  std::vector<std::string> missing;
  int copiesMade;            // every picture that loaded, whatever its size
  std::vector<Copy> copies;  // what shows, after the background
};

void PrintTo(const PaintCase& c, std::ostream* out) { *out << c.name; }

class SkinPaint : public testing::TestWithParam<PaintCase> {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    folder_ = std::string(temp) + "skyvane-skin-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder_.c_str(), nullptr);
    GetCurrentDirectoryA(MAX_PATH, previous_);
    ASSERT_TRUE(SetCurrentDirectoryA(folder_.c_str()));
    for (const char* sub : kFolders) CreateDirectoryA(sub, nullptr);
    for (const TestPicture& picture : testSkin()) {
      writeBmp(picture.path, picture.width, picture.height, picture.colour);
    }
  }
  void TearDown() override {
    if (window_) DestroyWindow(window_);
    removeSkin();
    SetCurrentDirectoryA(previous_);
    RemoveDirectoryA(folder_.c_str());
  }

  std::string folder_;
  char previous_[MAX_PATH] = {};
  HWND window_ = nullptr;
};

TEST_P(SkinPaint, WindowShowsTheLayoutPixelForPixel) {
  const PaintCase& c = GetParam();
  for (const std::string& path : c.missing) DeleteFileA(path.c_str());
  copyText(conditions.temperatureText, c.temperature);
  copyText(conditions.feelsLikeText, c.feelsLike);
  settings.metric = c.metric;

  window_ = openWindow();
  RECT frame = {};
  GetWindowRect(window_, &frame);
  EXPECT_EQ(frame.left, 0);
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(frame.right, kWidth);
  EXPECT_EQ(frame.bottom, kHeight);

  // Everything a paint needs was loaded at creation: without the files the
  // picture stays the same.
  removeSkin();
  showAndPaint(window_);

  // Pictures that failed to load are skipped, not copied.
  HDC windowSurface = GetDC(window_);
  EXPECT_EQ(drawDisplay(windowSurface), c.copiesMade);
  ReleaseDC(window_, windowSurface);

  std::vector<COLORREF> actual = windowPixels(window_);
  std::vector<COLORREF> expected = expectedPixels(c.copies);
  int wrong = 0;
  for (int i = 0; i < kWidth * kHeight; ++i) {
    if (actual[i] == expected[i]) continue;
    if (++wrong <= 5) {
      ADD_FAILURE() << "pixel (" << i % kWidth << ", " << i / kWidth << ") is " << std::hex
                    << actual[i] << ", expected " << expected[i];
    }
  }
  EXPECT_EQ(wrong, 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, SkinPaint, testing::Values(
    PaintCase{"Fahrenheit72And68", "72", "68", false, {}, 6,
              {large(2, 45), large(7, 23), small(8, 131), small(6, 123), kFahrenheit}},
    // -18 both, the most copies a paint makes; the narrow large 1 leaves the
    // background to its right.
    PaintCase{"CelsiusMinus18", "0", "0", true, {}, 8,
              {large(8, 45), large(1, 23), minus(13), small(8, 131), small(1, 123), smallMinus(118), kCelsius}},
    PaintCase{"ThreeDigitsShowLeadingTwo", "104", "-104", false, {}, 7,
              {large(0, 45), large(1, 23), small(0, 131), small(1, 123), smallMinus(118), kFahrenheit}},
    PaintCase{"MissingDigitShowsBackground", "42", "-5", false, {largePath(4)}, 5,
              {large(2, 45), small(5, 126), smallMinus(121), kFahrenheit}},
    // The other digits are still copied, at the zero size of the missing 0.
    PaintCase{"MissingDigitZeroHidesTheSet", "72", "68", false, {largePath(0)}, 6,
              {small(8, 131), small(6, 123), kFahrenheit}},
    PaintCase{"MissingFahrenheitGlyphHidesBoth", "-5", "3", true, {kFahrenheitPath}, 8,
              {large(1, 45), large(2, 23), minus(13), small(6, 131), small(1, 123), smallMinus(118)}}),
    [](const auto& info) { return info.param.name; });
// clang-format on

class SkinResources : public SkinPaint {};

std::vector<HBITMAP> allBitmaps() {
  std::vector<HBITMAP> bitmaps = {skinSet.background};
  for (HBITMAP b : skinSet.smallDigits) bitmaps.push_back(b);
  for (HBITMAP b : skinSet.largeDigits) bitmaps.push_back(b);
  for (HBITMAP b : skinSet.unitGlyphs) bitmaps.push_back(b);
  bitmaps.push_back(skinSet.minus);
  bitmaps.push_back(skinSet.smallMinus);
  return bitmaps;
}

TEST_F(SkinResources, FreeReleasesEveryPictureAndTheSurface) {
  DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  window_ = openWindow();
  showAndPaint(window_);  // leaves the unit glyph selected into the surface

  std::vector<HBITMAP> bitmaps = allBitmaps();
  ASSERT_EQ(bitmaps.size(), 25u);
  for (HBITMAP bitmap : bitmaps) {
    BITMAP record = {};
    ASSERT_NE(GetObjectA(bitmap, sizeof record, &record), 0);
  }
  ASSERT_EQ(GetObjectType(skinSet.memorySurface), static_cast<DWORD>(OBJ_MEMDC));

  freeSkin();
  for (HBITMAP bitmap : bitmaps) {
    BITMAP record = {};
    EXPECT_EQ(GetObjectA(bitmap, sizeof record, &record), 0);
  }
  EXPECT_EQ(GetObjectType(skinSet.memorySurface), 0u);
  // Not every platform counts GDI objects; where it does, the count is back.
  if (before != 0) {
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before);
  }
}

}  // namespace
