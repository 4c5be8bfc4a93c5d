#pragma once
// Where the service's own files are: its data folder beside the program,
// and where its log goes.

#include <string>

// The folder of the running program; empty when unknown.
std::string programFolderPath();

// The log file when none is named: none on Linux (standard output, as a
// service manager expects), Temp\skyvane-service.log beside the program on
// Windows, where a program without a console has no standard output.
std::string defaultLogPath();
