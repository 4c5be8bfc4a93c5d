#include <windows.h>

#include <vector>

#include "service/program_folder.h"

std::string programFolderPath() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, buffer.data(), DWORD(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) {
      std::string path(buffer.data(), length);
      std::size_t slash = path.rfind('\\');
      return slash == std::string::npos ? std::string() : path.substr(0, slash);
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string defaultLogPath() {
  std::string folder = programFolderPath();
  if (folder.empty()) return {};
  CreateDirectoryA((folder + "\\Temp").c_str(), nullptr);
  return folder + "\\Temp\\skyvane-service.log";
}
