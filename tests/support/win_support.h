#pragma once
// Helpers for the tests that run under Wine: folders laid out as installed,
// paths into the source tree, message pumping and child processes.

#include <windows.h>

#include <fstream>
#include <iterator>
#include <string>

#include "common/program_win.h"
#include "driver.h"

// A path of the source tree as Windows sees it (Wine maps / to drive Z:).
inline std::string sourcePath(const std::string& relative) {
  std::string path = std::string("Z:") + SKYVANE_SOURCE_DIR + "/" + relative;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

// A fresh folder under the temporary folder holding the default skin and an
// empty Temp folder, made the program's folder and the current directory.
inline std::string makeInstalledFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + "skyvane-" + name;
  driver::removeTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  driver::copyTree(sourcePath("Skins"), folder + "\\Skins");
  CreateDirectoryA((folder + "\\Temp").c_str(), nullptr);
  SetCurrentDirectoryA(folder.c_str());
  programFolder = folder;
  return folder;
}

inline std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

inline bool fileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Serves the thread's messages for `milliseconds`.
inline void pumpMessages(DWORD milliseconds) {
  DWORD end = GetTickCount() + milliseconds;
  for (;;) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
    DWORD now = GetTickCount();
    if (static_cast<LONG>(end - now) <= 0) return;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
  }
}

// The tests' one poll: waits until `done` holds or `milliseconds` pass,
// serving the thread's messages meanwhile, so that its windows keep working;
// on a thread without windows it simply waits.
template <typename Condition>
bool waitFor(Condition done, DWORD milliseconds) {
  DWORD end = GetTickCount() + milliseconds;
  while (!done()) {
    if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
    pumpMessages(20);
  }
  return true;
}

// The files left in the program's Temp folder: none once every download has
// been loaded.
inline int temporaryFiles() {
  WIN32_FIND_DATAA entry;
  HANDLE search = FindFirstFileA((programFolder + "\\Temp\\*.tmp").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    ++count;
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return count;
}
