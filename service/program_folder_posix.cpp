#include "service/program_folder.h"

#include <filesystem>

std::string programFolderPath() {
  std::error_code error;
  auto path = std::filesystem::canonical("/proc/self/exe", error);
  return error ? std::string() : path.parent_path().string();
}

std::string defaultLogPath() { return {}; }
