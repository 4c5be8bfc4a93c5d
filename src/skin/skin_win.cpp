#include "skin/skin_win.h"

#include <string>

#include "common/program_win.h"
#include "common/text.h"

SkinSet skinSet = {};

namespace {

HBITMAP loadBitmap(const std::string& relative) {
  return static_cast<HBITMAP>(
      LoadImageA(appInstance, programPath(relative).c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
}

HBITMAP loadNumbered(const char* folder, int number) {
  return loadBitmap(std::string(folder) + "\\" + std::to_string(number) + ".bmp");
}

// An empty handle fails the query and leaves the record, and so the size, zero.
SkinSize measure(HBITMAP bitmap) {
  BITMAP record = {};
  GetObjectA(bitmap, sizeof record, &record);
  return SkinSize{record.bmWidth, record.bmHeight};
}

}  // namespace

void prepareSkin(HWND window) {
  HDC windowSurface = GetDC(window);
  skinSet.memorySurface = CreateCompatibleDC(windowSurface);
  skinSet.initialBitmap = GetCurrentObject(skinSet.memorySurface, OBJ_BITMAP);
  loadSkin();
  ReleaseDC(window, windowSurface);
  MoveWindow(window, 0, 0, skinSet.sizes.background.width, skinSet.sizes.background.height, TRUE);
}

void loadSkin() {
  skinSet.background = loadBitmap("Skins\\MainWindow.bmp");
  skinSet.sizes.background = measure(skinSet.background);
  for (int n = 0; n < 10; ++n) {
    skinSet.largeDigits[n] = loadNumbered("Skins\\Numbers", n);
    skinSet.smallDigits[n] = loadNumbered("Skins\\Small Numbers", n);
  }
  skinSet.sizes.largeDigit = measure(skinSet.largeDigits[0]);
  skinSet.sizes.smallDigit = measure(skinSet.smallDigits[0]);
  for (int n = 0; n < 2; ++n) skinSet.unitGlyphs[n] = loadNumbered("Skins\\Metric", n);
  skinSet.sizes.unitGlyph = measure(skinSet.unitGlyphs[0]);
  skinSet.minus = loadBitmap("Skins\\Minus\\Minus.bmp");
  skinSet.sizes.minus = measure(skinSet.minus);
  skinSet.smallMinus = loadBitmap("Skins\\Minus\\SmallMinus.bmp");
  skinSet.sizes.smallMinus = measure(skinSet.smallMinus);
  for (int n = 0; n < kConditionPictureCount; ++n) {
    std::string_view file = conditionPictureFile(static_cast<ConditionPicture>(n));
    skinSet.conditions[n] = loadBitmap("Skins\\Conditions\\" + std::string(file));
    skinSet.sizes.conditions[n] = measure(skinSet.conditions[n]);
  }
}

void freeSkin() {
  if (skinSet.memorySurface && skinSet.initialBitmap) {
    SelectObject(skinSet.memorySurface, skinSet.initialBitmap);
  }
  DeleteObject(skinSet.background);
  for (HBITMAP digit : skinSet.smallDigits) DeleteObject(digit);
  for (HBITMAP digit : skinSet.largeDigits) DeleteObject(digit);
  for (HBITMAP glyph : skinSet.unitGlyphs) DeleteObject(glyph);
  DeleteObject(skinSet.minus);
  DeleteObject(skinSet.smallMinus);
  for (HBITMAP picture : skinSet.conditions) DeleteObject(picture);
  DeleteDC(skinSet.memorySurface);
}

HBITMAP skinBitmap(SkinBitmap which) {
  if (which == kBackground) return skinSet.background;
  if (which >= kLargeDigit0 && which < kLargeDigit0 + 10) {
    return skinSet.largeDigits[which - kLargeDigit0];
  }
  if (which >= kSmallDigit0 && which < kSmallDigit0 + 10) {
    return skinSet.smallDigits[which - kSmallDigit0];
  }
  if (which == kFahrenheitGlyph) return skinSet.unitGlyphs[0];
  if (which == kCelsiusGlyph) return skinSet.unitGlyphs[1];
  if (which == kMinus) return skinSet.minus;
  if (which == kSmallMinus) return skinSet.smallMinus;
  if (which >= kConditionPicture0 && which < kConditionPicture0 + kConditionPictureCount) {
    return skinSet.conditions[which - kConditionPicture0];
  }
  return nullptr;
}
