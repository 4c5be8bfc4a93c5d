#include "weather/fetch.h"

#include <cstring>

std::string textModeRead(std::string_view file) {
  file = file.substr(0, file.find('\x1a'));
  std::string text;
  text.reserve(file.size());
  for (std::size_t i = 0; i < file.size(); ++i) {
    if (file[i] == '\r' && i + 1 < file.size() && file[i + 1] == '\n') continue;
    text.push_back(file[i]);
  }
  return text;
}
