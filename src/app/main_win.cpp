#include <windows.h>

#include <string>

#include "app/app_win.h"
#include "app/instance.h"
#include "app/slide_win.h"

namespace {

void notice(const char* text) { MessageBoxA(nullptr, text, "Notice!", MB_OK | MB_ICONWARNING); }

// Marks the main window with its installation, so that a second start finds
// this installation's window and no other's.
constexpr const char* kInstallationProperty = "SkyvaneInstallation";

struct RunningQuery {
  HANDLE key;
  HWND found;
};

BOOL CALLBACK matchRunning(HWND window, LPARAM parameter) {
  auto* query = reinterpret_cast<RunningQuery*>(parameter);
  char name[32] = "";
  GetClassNameA(window, name, sizeof name);
  if (lstrcmpA(name, kMainWindowClass) != 0 ||
      GetPropA(window, kInstallationProperty) != query->key) {
    return TRUE;
  }
  query->found = window;
  return FALSE;
}

// A second start: the running program slides its window in (when it is out
// and still), so the user sees that it runs.
void showRunningProgram(HANDLE key) {
  RunningQuery query{key, nullptr};
  EnumWindows(matchRunning, reinterpret_cast<LPARAM>(&query));
  if (query.found) PostMessageA(query.found, WM_SLIDE_IN_REQUEST, 0, 0);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  programFolder = executableFolder();
  uint64_t key = installationKey(programFolder);
  auto keyHandle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(key));
  // Held for the program's life; the system releases it when the process
  // ends, however it ends.
  CreateMutexA(nullptr, FALSE, installationMutexName(key).c_str());
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    showRunningProgram(keyHandle);
    return 0;
  }

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
  SetPropA(window, kInstallationProperty, keyHandle);

  // GetMessageA answers -1 on an error; the loop ends then rather than spin.
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}
