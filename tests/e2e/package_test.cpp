// The installer, run silently as a user may: it installs for the current
// user, the installed program starts from its shortcut's folder, and the
// uninstaller takes everything away again.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "driver.h"
#include "resource.h"

namespace {

constexpr DWORD kWaitMs = 60000;

std::string folderOf(int csidl) {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

std::optional<DWORD> runToEnd(const std::string& exe, const std::string& arguments) {
  driver::Program run;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\" " + arguments;
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &run.process)) {
    return std::nullopt;
  }
  std::optional<DWORD> status = driver::waitForExit(run, kWaitMs);
  driver::closeHandles(run);
  return status;
}

// A shortcut's target and working folder, as the shell reads them.
struct Shortcut {
  std::string target;
  std::string workingFolder;
};

std::optional<Shortcut> readShortcut(const std::string& path) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)))) {
    return std::nullopt;
  }
  std::optional<Shortcut> result;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    wchar_t wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char target[MAX_PATH] = "", folder[MAX_PATH] = "";
    if (SUCCEEDED(file->Load(wide, STGM_READ)) &&
        SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(link->GetWorkingDirectory(folder, MAX_PATH))) {
      result = Shortcut{target, folder};
    }
    file->Release();
  }
  link->Release();
  return result;
}

bool sameFolder(std::string a, std::string b) {
  while (!a.empty() && a.back() == '\\') a.pop_back();
  while (!b.empty() && b.back() == '\\') b.pop_back();
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST(Installer, InstallsStartsAndUninstallsForTheCurrentUser) {
  CoInitialize(nullptr);
  std::string installed = folderOf(CSIDL_LOCAL_APPDATA) + "\\Programs\\Skyvane";
  std::string menuShortcut = folderOf(CSIDL_PROGRAMS) + "\\Skyvane.lnk";
  std::string startupShortcut = folderOf(CSIDL_STARTUP) + "\\Skyvane.lnk";
  driver::removeTree(installed);

  std::optional<DWORD> status = runToEnd(driver::windowsPath(SKYVANE_INSTALLER), "/S");
  ASSERT_EQ(status, std::optional<DWORD>(0));
  for (const char* file :
       {"\\Skyvane.exe", "\\Skins\\MainWindow.bmp", "\\Skins\\Default.ico",
        "\\Skins\\Numbers\\9.bmp", "\\Skins\\Small Numbers\\0.bmp", "\\Skins\\Metric\\1.bmp",
        "\\Skins\\Minus\\SmallMinus.bmp", "\\Temp", "\\Uninstall.exe"}) {
    EXPECT_TRUE(driver::fileExists(installed + file)) << file;
  }
  for (const std::string& path : {menuShortcut, startupShortcut}) {
    SCOPED_TRACE(path);
    std::optional<Shortcut> shortcut = readShortcut(path);
    ASSERT_TRUE(shortcut.has_value());
    EXPECT_TRUE(sameFolder(shortcut->target, installed + "\\Skyvane.exe")) << shortcut->target;
    EXPECT_TRUE(sameFolder(shortcut->workingFolder, installed)) << shortcut->workingFolder;
  }

  // Started as its shortcut starts it, the program comes up and ends cleanly.
  driver::Program program = driver::startProgram(installed + "\\Skyvane.exe", installed, 15000);
  ASSERT_NE(program.window, nullptr);
  driver::menuCommand(program.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(program, 15000), std::optional<DWORD>(0));
  driver::closeHandles(program);

  // The uninstaller runs on from a copy of itself, so its end is awaited by
  // the folder's going.
  ASSERT_EQ(runToEnd(installed + "\\Uninstall.exe", "/S"), std::optional<DWORD>(0));
  DWORD begin = GetTickCount();
  while (driver::fileExists(installed) && GetTickCount() - begin < kWaitMs) Sleep(100);
  EXPECT_FALSE(driver::fileExists(installed));
  EXPECT_FALSE(driver::fileExists(menuShortcut));
  EXPECT_FALSE(driver::fileExists(startupShortcut));
  driver::removeTree(installed);
  CoUninitialize();
}

}  // namespace
