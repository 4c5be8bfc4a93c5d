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

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
