#pragma once
// The loaded skin: the pictures that the paint copies onto the main window.

#include <windows.h>

#include "skin/display.h"

struct SkinSet {
  HDC memorySurface;
  // The surface's own first bitmap, put back before the skin's are deleted:
  // a bitmap still selected into a surface cannot be deleted.
  HGDIOBJ initialBitmap;
  HBITMAP background;
  HBITMAP smallDigits[10];
  HBITMAP largeDigits[10];
  HBITMAP unitGlyphs[2];  // 0 Fahrenheit, 1 Celsius: indexed by `metric`
  HBITMAP minus;
  HBITMAP smallMinus;
  HBITMAP conditions[kConditionPictureCount];  // optional: null when missing
  SkinSizes sizes;                             // zero where the measured picture failed to load
};

// Loaded once while the main window is created, released once at exit.
extern SkinSet skinSet;

// Part of the main window's creation: makes the memory surface from the
// window's display, loads the skin and gives the window the background's
// size at the screen's top-left corner.
void prepareSkin(HWND window);

// Loads the 25 pictures from the "Skins" folder in the program's folder
// and measures one picture of each kind, and the condition pictures of its
// "Conditions" folder, each measured. A missing file leaves its handle
// empty (and its size zero where it is the measured one).
void loadSkin();

// Deletes the pictures, then the memory surface.
void freeSkin();

// The skin's handle for a picture of the layout; null when it failed to load.
HBITMAP skinBitmap(SkinBitmap which);
