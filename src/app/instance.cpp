#include "app/instance.h"

uint64_t installationKey(std::string_view folder) {
  // FNV-1a over the path with ASCII letters folded to lower case.
  uint64_t hash = 14695981039346656037ull;
  for (char c : folder) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
    hash = (hash ^ byte) * 1099511628211ull;
  }
  return hash;
}

std::string installationMutexName(uint64_t key) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string name = "Local\\Skyvane-";
  for (int shift = 60; shift >= 0; shift -= 4) name.push_back(kDigits[(key >> shift) & 0xF]);
  return name;
}
