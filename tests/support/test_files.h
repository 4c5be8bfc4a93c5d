#pragma once
// Reading the project's fixture pages in tests.

#include <fstream>
#include <iterator>
#include <string>

inline std::string readTestData(const std::string& name) {
  std::ifstream file(std::string(SKYVANE_TEST_DATA) + "/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}
