#include "app/app_win.h"

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
HMENU trayMenu = nullptr;
