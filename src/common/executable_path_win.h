#pragma once
// The running program's own path, for the widget and its service alike.

#include <string>

// The executable's full path, however long it is; empty when unknown.
std::string executablePath();

// Everything before the path's last backslash; empty when it has none.
std::string folderOf(const std::string& path);
