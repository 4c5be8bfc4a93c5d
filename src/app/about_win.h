#pragma once
// The About box's texts and banner, made to fit the box as it is drawn.

#include <windows.h>

// For WM_INITDIALOG: the weather service's credit for what the window shows,
// and the banner as wide as the box, so no strip of the dialog shows beside
// it whatever the dialog font makes of its size.
void prepareAboutBox(HWND dialog);
