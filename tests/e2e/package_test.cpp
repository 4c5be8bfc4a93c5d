// The installer and its uninstaller, run silently as a user or an
// administrator may. Each test installs into a fresh folder under %TEMP%; the
// shortcuts and the installed-programs entry are the user's only ones, so the
// tests refuse to run where Skyvane is installed anywhere else.

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "driver.h"
#include "resource.h"

namespace {

constexpr DWORD kWaitMs = 60000;
constexpr const char* kEntryKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Skyvane";

// Setup.ini as the program writes it, with an address set earlier.
const std::string kSettings =
    "[General]\r\nURL0=http://127.0.0.1:8642/place/san-diego-ca\r\nCity0=San Diego, CA\r\n"
    "URL1=\r\nCity1=\r\nURL2=\r\nCity2=\r\nMetric=true\r\n"
    "[Service]\r\nBaseUrl=http://weather.example.net\r\n";

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

// A value of the installed-programs entry, numbers as text.
std::optional<std::string> entryValue(const char* name) {
  char value[1024] = "";
  DWORD size = sizeof value, type = 0;
  if (RegGetValueA(HKEY_CURRENT_USER, kEntryKey, name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type,
                   value, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  if (type == REG_DWORD) return std::to_string(*reinterpret_cast<DWORD*>(value));
  return value;
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

bool inside(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path[folder.size()] == '\\' &&
         sameFolder(path.substr(0, folder.size()), folder);
}

// Every file and folder under `folder`, relative to it.
std::set<std::string> listTree(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
    names.insert(entry.path().lexically_relative(folder).string());
  }
  return names;
}

std::string versionText(const std::vector<char>& info, const char* name) {
  char* value = nullptr;
  UINT length = 0;
  std::string path = std::string("\\StringFileInfo\\040904B0\\") + name;
  if (!VerQueryValueA(info.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "(none)";
  }
  return std::string(value, length > 0 ? length - 1 : 0);
}

class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    char temp[MAX_PATH] = "", longTemp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    GetLongPathNameA(temp, longTemp, MAX_PATH);
    root_ = std::string(longTemp) + "skyvane-package-tests";
    menuShortcut_ = folderOf(CSIDL_PROGRAMS) + "\\Skyvane.lnk";
    startupShortcut_ = folderOf(CSIDL_STARTUP) + "\\Skyvane.lnk";

    std::optional<std::string> location = entryValue("InstallLocation");
    if (location && !inside(*location, root_)) {
      FAIL() << "Skyvane is installed in " << *location
             << "; these tests would replace its shortcuts and its entry";
    }
    for (const std::string& path : {menuShortcut_, startupShortcut_}) {
      std::optional<Shortcut> shortcut = readShortcut(path);
      if (shortcut && !inside(shortcut->target, root_)) {
        FAIL() << path << " starts " << shortcut->target << ", not a copy of these tests";
      }
    }
    mayClean_ = true;
    removeLeftovers();
    CreateDirectoryA(root_.c_str(), nullptr);
    newFolder();
  }

  void TearDown() override {
    if (program_.process.hProcess) {
      ResumeThread(program_.process.hThread);
      TerminateProcess(program_.process.hProcess, 0);
      driver::waitForExit(program_, kWaitMs);
      driver::closeHandles(program_);
    }
    if (mayClean_) removeLeftovers();
    CoUninitialize();
  }

  // Only what these tests made: the entry and shortcuts of a copy under root_.
  void removeLeftovers() {
    std::optional<std::string> location = entryValue("InstallLocation");
    if (location && inside(*location, root_)) {
      RegDeleteKeyA(HKEY_CURRENT_USER, kEntryKey);
      DeleteFileA(menuShortcut_.c_str());
      DeleteFileA(startupShortcut_.c_str());
    }
    driver::removeTree(root_);
  }

  // A fresh folder to install into; the installer makes its Skyvane inside.
  void newFolder() {
    chosen_ = root_ + "\\copy " + std::to_string(++copies_);
    CreateDirectoryA(chosen_.c_str(), nullptr);
    installed_ = chosen_ + "\\Skyvane";
  }

  std::optional<DWORD> install(const std::string& arguments = "") {
    return runToEnd(driver::windowsPath(SKYVANE_INSTALLER), "/S " + arguments + " /D=" + chosen_);
  }

  // The uninstaller runs from a copy of itself, as it does when a user starts
  // it, but here the test waits for that copy and sees its exit status.
  std::optional<DWORD> uninstall(const std::string& arguments = "") {
    std::string copy = root_ + "\\uninstall.exe";
    CopyFileA((installed_ + "\\Uninstall.exe").c_str(), copy.c_str(), FALSE);
    return runToEnd(copy, "/S " + arguments + " _?=" + installed_);
  }

  void startProgram() {
    program_ = driver::startProgram(installed_ + "\\Skyvane.exe", installed_, 15000);
    ASSERT_NE(program_.window, nullptr);
  }

  std::string root_, chosen_, installed_, menuShortcut_, startupShortcut_;
  int copies_ = 0;
  bool mayClean_ = false;
  driver::Program program_;
};

TEST_F(Installer, InstallsIntoAFolderOfItsOwnAndStarts) {
  ASSERT_EQ(install(), std::optional<DWORD>(0));
  for (const char* file : {"\\Skyvane.exe", "\\Skins\\MainWindow.bmp", "\\Skins\\Default.ico",
                           "\\Skins\\Numbers\\9.bmp", "\\Skins\\Small Numbers\\0.bmp",
                           "\\Skins\\Metric\\1.bmp", "\\Skins\\Minus\\SmallMinus.bmp",
                           "\\Skins\\Conditions\\rain.bmp", "\\Temp", "\\Uninstall.exe"}) {
    EXPECT_TRUE(driver::fileExists(installed_ + file)) << file;
  }
  // No Setup.ini until the user has something to keep.
  EXPECT_FALSE(driver::fileExists(installed_ + "\\Setup"));
  for (const std::string& path : {menuShortcut_, startupShortcut_}) {
    SCOPED_TRACE(path);
    std::optional<Shortcut> shortcut = readShortcut(path);
    ASSERT_TRUE(shortcut.has_value());
    EXPECT_TRUE(sameFolder(shortcut->target, installed_ + "\\Skyvane.exe")) << shortcut->target;
    EXPECT_TRUE(sameFolder(shortcut->workingFolder, installed_)) << shortcut->workingFolder;
  }

  // Started as its shortcut starts it, the program comes up and ends cleanly.
  startProgram();
  driver::menuCommand(program_.window, IDM_EXIT);
  EXPECT_EQ(driver::waitForExit(program_, 15000), std::optional<DWORD>(0));
  driver::closeHandles(program_);
}

// An earlier installation in a folder of another name keeps its folder, where
// its settings are.
TEST_F(Installer, UpgradesAnEarlierCopyWhereItLies) {
  CopyFileA(driver::windowsPath(SKYVANE_EXE).c_str(), (chosen_ + "\\Skyvane.exe").c_str(), FALSE);
  ASSERT_EQ(install(), std::optional<DWORD>(0));
  EXPECT_TRUE(driver::fileExists(chosen_ + "\\Skins\\Default.ico"));
  EXPECT_FALSE(driver::fileExists(installed_));
  EXPECT_EQ(entryValue("InstallLocation"), std::optional<std::string>(chosen_));
}

TEST_F(Installer, ShowsItsVersionInTheProgramAndTheEntry) {
  ASSERT_EQ(install(), std::optional<DWORD>(0));
  std::string exe = installed_ + "\\Skyvane.exe";
  DWORD size = GetFileVersionInfoSizeA(exe.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(exe.c_str(), 0, size, info.data()));
  for (auto [name, expected] : {std::pair{"ProductName", "Skyvane"},
                                {"FileVersion", SKYVANE_VERSION},
                                {"ProductVersion", SKYVANE_VERSION},
                                {"CompanyName", SKYVANE_PUBLISHER},
                                {"FileDescription", "Skyvane weather widget"},
                                {"LegalCopyright", SKYVANE_COPYRIGHT}}) {
    EXPECT_EQ(versionText(info, name), expected) << name;
  }
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  unsigned major = 0, minor = 0;
  ASSERT_EQ(sscanf(SKYVANE_VERSION, "%u.%u", &major, &minor), 2);
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(minor, major));

  EXPECT_EQ(entryValue("DisplayVersion"), std::optional<std::string>(SKYVANE_VERSION));
  EXPECT_EQ(entryValue("Publisher"), std::optional<std::string>(SKYVANE_PUBLISHER));
  EXPECT_EQ(entryValue("DisplayIcon").value_or("").rfind(exe, 0), 0u);
  EXPECT_GT(std::stoul(entryValue("EstimatedSize").value_or("0")), 100u);  // kilobytes
}

TEST_F(Installer, UpgradesInPlaceKeepingTheSettings) {
  ASSERT_EQ(install(), std::optional<DWORD>(0));
  CreateDirectoryA((installed_ + "\\Setup").c_str(), nullptr);
  driver::writeFileText(installed_ + "\\Setup\\Setup.ini", kSettings);
  std::string digit = "\\Skins\\Numbers\\0.bmp";
  driver::writeFileText(installed_ + digit, "damaged");
  ASSERT_NO_FATAL_FAILURE(startProgram());

  // Run over the running program, the box "Start with Windows" now unticked.
  ASSERT_EQ(install("/STARTUP=no"), std::optional<DWORD>(0));
  EXPECT_EQ(driver::waitForExit(program_, 1000), std::optional<DWORD>(0));
  driver::closeHandles(program_);
  EXPECT_EQ(driver::readFileText(installed_ + "\\Setup\\Setup.ini"), kSettings);
  EXPECT_EQ(driver::readFileText(installed_ + digit),
            driver::readFileText(driver::windowsPath(SKYVANE_SOURCE_DIR "/Skins/Numbers/0.bmp")));
  EXPECT_TRUE(driver::fileExists(menuShortcut_));
  EXPECT_FALSE(driver::fileExists(startupShortcut_));
}

TEST_F(Installer, UninstallsWhatItInstalledAndNothingElse) {
  struct Case {
    const char* arguments;
    bool userFile;
    std::set<std::string> left;  // what remains of the folder; empty: the folder is gone
  };
  const Case cases[] = {
      {"", true, {"Setup", "Setup\\Setup.ini", "My notes.txt", "Skins", "Skins\\Mine.bmp"}},
      {"", false, {"Setup", "Setup\\Setup.ini"}},
      {"/REMOVESETTINGS", true, {"My notes.txt", "Skins", "Skins\\Mine.bmp"}},
      {"/REMOVESETTINGS", false, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.arguments) + (c.userFile ? " with a file of the user's" : ""));
    newFolder();
    ASSERT_EQ(install(), std::optional<DWORD>(0));
    CreateDirectoryA((installed_ + "\\Setup").c_str(), nullptr);
    driver::writeFileText(installed_ + "\\Setup\\Setup.ini", kSettings);
    driver::writeFileText(installed_ + "\\Temp\\Cache.bak", "<html>");
    if (c.userFile) {
      driver::writeFileText(installed_ + "\\My notes.txt", "mine");
      driver::writeFileText(installed_ + "\\Skins\\Mine.bmp", "mine");
    }

    ASSERT_EQ(uninstall(c.arguments), std::optional<DWORD>(0));
    EXPECT_EQ(listTree(installed_), c.left);
    EXPECT_EQ(driver::fileExists(installed_), !c.left.empty());
    if (driver::fileExists(installed_ + "\\Setup\\Setup.ini")) {
      EXPECT_EQ(driver::readFileText(installed_ + "\\Setup\\Setup.ini"), kSettings);
    }
    EXPECT_FALSE(driver::fileExists(menuShortcut_));
    EXPECT_FALSE(driver::fileExists(startupShortcut_));
    EXPECT_FALSE(entryValue("DisplayName").has_value());
  }
}

// A Skyvane that does not answer (its thread stopped) cannot be closed: the
// upgrade and the uninstall say so and change nothing.
TEST_F(Installer, StopsWhenTheProgramCannotBeClosed) {
  ASSERT_EQ(install(), std::optional<DWORD>(0));
  std::string digit = installed_ + "\\Skins\\Numbers\\0.bmp";
  driver::writeFileText(digit, "damaged");
  std::set<std::string> before = listTree(installed_);
  ASSERT_NO_FATAL_FAILURE(startProgram());
  SuspendThread(program_.process.hThread);

  EXPECT_EQ(install(), std::optional<DWORD>(2));
  EXPECT_EQ(driver::readFileText(digit), "damaged");
  EXPECT_EQ(uninstall(), std::optional<DWORD>(2));
  // The weather service that the program starts keeps its log in Temp\.
  std::set<std::string> after = listTree(installed_);
  std::erase_if(
      after, [](const std::string& name) { return name.starts_with("Temp\\skyvane-service.log"); });
  EXPECT_EQ(after, before);
  EXPECT_TRUE(entryValue("DisplayName").has_value());
  EXPECT_TRUE(driver::fileExists(menuShortcut_));
  EXPECT_TRUE(driver::fileExists(startupShortcut_));

  // Once it answers again, it takes the close it was sent.
  ResumeThread(program_.process.hThread);
  EXPECT_EQ(driver::waitForExit(program_, 15000), std::optional<DWORD>(0));
  driver::closeHandles(program_);
}

// Over settings kept from before (a reinstall after an uninstall), the address
// given replaces the one there, the build's own (the program's default)
// removes it, and one the program would not take is refused before anything is
// installed. The rest of the file stays as it was.
TEST_F(Installer, KeepsTheServiceAddressGiven) {
  const std::string general = kSettings.substr(0, kSettings.find("[Service]"));
  struct Case {
    std::string address;
    std::optional<std::string> kept;  // what BaseUrl reads afterwards; none: refused
  };
  const Case cases[] = {
      {"http://weather.example.net:8080", "http://weather.example.net:8080"},
      {"https://weather.example.net/", "https://weather.example.net"},
      {"http://[::1]:8642/weather", "http://[::1]:8642/weather"},
      {SKYVANE_SERVICE_BASE_URL, ""},
      {"ftp://weather.example.net", std::nullopt},
      {"http://", std::nullopt},
      {"http://weather.example.net?x=1", std::nullopt},
      {"http://weather.example.net:123456", std::nullopt},
      {"http://" + std::string(200, 'a') + ".net", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    newFolder();
    CreateDirectoryA(installed_.c_str(), nullptr);
    CreateDirectoryA((installed_ + "\\Setup").c_str(), nullptr);
    std::string settings = installed_ + "\\Setup\\Setup.ini";
    driver::writeFileText(settings, kSettings);

    std::optional<DWORD> status = install("/SERVICE=" + c.address);
    std::string after = driver::readFileText(settings);
    if (!c.kept) {
      EXPECT_EQ(status, std::optional<DWORD>(2));
      EXPECT_FALSE(driver::fileExists(installed_ + "\\Skyvane.exe"));
      EXPECT_EQ(after, kSettings);
      continue;
    }
    ASSERT_EQ(status, std::optional<DWORD>(0));
    EXPECT_EQ(after.substr(0, general.size()), general);
    char value[256] = "";
    GetPrivateProfileStringA("Service", "BaseUrl", "", value, sizeof value, settings.c_str());
    EXPECT_EQ(value, *c.kept);
  }
}

}  // namespace
