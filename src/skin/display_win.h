#pragma once
// The paint: the layout of the current conditions carried out with the
// loaded skin's pictures.

#include <windows.h>

// Carries out the layout of the current conditions onto `target`, skipping
// pictures that failed to load. Returns the number of copies made.
int drawDisplay(HDC target);

// The main window's WM_PAINT: draws the whole window, whatever needs repainting.
void paintDisplay(HWND window);
