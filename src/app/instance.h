#pragma once
// One running program per installation: a key of the program's folder,
// named by a kernel object that a second start finds.

#include <cstdint>
#include <string>
#include <string_view>

// The same for every spelling of one folder's path that differs only in
// ASCII letter case, as Windows paths do; other folders differ.
uint64_t installationKey(std::string_view folder);

// The mutex a running program holds: "Local\Skyvane-" and the key in hex.
// Kernel object names take no backslash after the namespace, so the path
// itself cannot be the name.
std::string installationMutexName(uint64_t key);
