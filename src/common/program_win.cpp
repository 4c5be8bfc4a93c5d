#include "common/program_win.h"

#include <vector>

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

std::string executableFolder() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::string path(buffer.data(), length);
      std::size_t slash = path.rfind('\\');
      return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

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
