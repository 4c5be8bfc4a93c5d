#pragma once
// Property checks of the fuzz targets: a failed one aborts, so that libFuzzer
// keeps the input as a crash.

#include <cstdio>
#include <cstdlib>
#include <string_view>

inline void check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", what);
  std::abort();
}

inline bool contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}
