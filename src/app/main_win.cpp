#include <windows.h>

#include "app/app_win.h"

namespace {

void notice(const char* text) { MessageBoxA(nullptr, text, "Notice!", MB_OK | MB_ICONWARNING); }

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (!registerMainWindowClass(instance)) {
    notice("MakeClass failed!");
    return 0;
  }
  appInstance = instance;
  HWND window = createMainWindow(instance);
  if (window == nullptr) {
    notice("CreateWindow failed!");
    return 0;
  }
  mainWindow = window;

  // GetMessageA answers -1 on an error; the loop ends then rather than spin.
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
