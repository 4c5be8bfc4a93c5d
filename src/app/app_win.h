#pragma once
// The main window: its class, its creation and its procedure.

#include <windows.h>

#include "common/program_win.h"

// The class name and the window title.
inline constexpr const char* kMainWindowClass = "Skyvane";

bool registerMainWindowClass(HINSTANCE instance);
// Creates the main window; its creation sequence runs inside this call.
HWND createMainWindow(HINSTANCE instance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
