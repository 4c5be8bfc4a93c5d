#pragma once
// Program-wide handles, the program's folder and the worker threads that
// download: what every subsystem may use, set up by the program's start.

#include <windows.h>
#include <objbase.h>

#include <string>
#include <string_view>

// Set by WinMain before the window is created.
extern HINSTANCE appInstance;
// Set by WinMain when window creation returns; null during the creation
// sequence.
extern HWND mainWindow;
// Sub-menu 0 of the IDR_POPUP menu resource, loaded by the creation sequence.
extern HMENU trayMenu;
// The folder holding the executable, without a trailing backslash. Skins
// and Temp are found here, whatever folder the program was started from.
extern std::string programFolder;

// The executable's folder, however long its path is; empty when unknown.
std::string executableFolder();

// `relative` (such as "Skins\\Default.ico") inside the program's folder.
std::string programPath(std::string_view relative);

// Starts a thread that the program never waits for; false when none could
// be started, so the caller can clean up what it handed over.
bool startWorker(LPTHREAD_START_ROUTINE routine, void* job);

// COM for the life of a thread that downloads: URL monikers expect an
// initialised apartment on the thread that binds them.
struct ComApartment {
  HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  ~ComApartment() {
    if (SUCCEEDED(result)) CoUninitialize();
  }
  ComApartment() = default;
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

// Takes each picture out of the dialog's static controls and deletes it, for
// WM_DESTROY: Wine's static control never deletes a bitmap that it loaded
// from the dialog template, so every opening would leak one; a picture
// handed back by STM_SETIMAGE is the caller's to delete on every platform.
void releaseDialogPictures(HWND dialog);
