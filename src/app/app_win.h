#pragma once
// Program-wide handles and the main window's procedure.

#include <windows.h>

// Set by WinMain before the window is created.
extern HINSTANCE appInstance;
// Set by WinMain when window creation returns; null during the creation
// sequence.
extern HWND mainWindow;
// Sub-menu 0 of the IDR_POPUP menu resource, loaded by the creation sequence.
extern HMENU trayMenu;

// The class name and the window title.
inline constexpr const char* kMainWindowClass = "Skyvane";

bool registerMainWindowClass(HINSTANCE instance);
// Creates the main window; its creation sequence runs inside this call.
HWND createMainWindow(HINSTANCE instance);

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
