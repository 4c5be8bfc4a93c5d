#include "common/program_win.h"

#include "common/executable_path_win.h"

HINSTANCE appInstance = nullptr;
HWND mainWindow = nullptr;
HMENU trayMenu = nullptr;
std::string programFolder;

namespace {

BOOL CALLBACK releasePicture(HWND control, LPARAM) {
  char name[16] = "";
  GetClassNameA(control, name, sizeof name);
  if (lstrcmpiA(name, "Static") == 0 &&
      (GetWindowLongA(control, GWL_STYLE) & SS_TYPEMASK) == SS_BITMAP) {
    auto picture = reinterpret_cast<HGDIOBJ>(SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0));
    if (picture) DeleteObject(picture);
  }
  return TRUE;
}

}  // namespace

std::string executableFolder() { return folderOf(executablePath()); }

std::string programPath(std::string_view relative) {
  // No folder known: the working folder, as a relative path reaches it.
  if (programFolder.empty()) return std::string(relative);
  return programFolder + "\\" + std::string(relative);
}

bool startWorker(LPTHREAD_START_ROUTINE routine, void* job) {
  HANDLE thread = CreateThread(nullptr, 0, routine, job, 0, nullptr);
  if (!thread) return false;
  CloseHandle(thread);
  return true;
}

void releaseDialogPictures(HWND dialog) { EnumChildWindows(dialog, releasePicture, 0); }
