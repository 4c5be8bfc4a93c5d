#include <windows.h>

#include "service/program_folder.h"
#include "src/common/executable_path_win.h"

std::string programFolderPath() { return folderOf(executablePath()); }

std::string defaultLogPath() {
  std::string folder = programFolderPath();
  if (folder.empty()) return {};
  CreateDirectoryA((folder + "\\Temp").c_str(), nullptr);
  return folder + "\\Temp\\skyvane-service.log";
}
