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

// Takes each picture out of the dialog's static controls and deletes it, for
// WM_DESTROY: Wine's static control never deletes a bitmap that it loaded
// from the dialog template, so every opening would leak one; a picture
// handed back by STM_SETIMAGE is the caller's to delete on every platform.
void releaseDialogPictures(HWND dialog);
