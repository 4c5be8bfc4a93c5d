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

DownloadFailure downloadFailureOf(unsigned long status) {
  if (status == 0) return DownloadFailure::NoConnection;
  if (status == 503 || status == 429) return DownloadFailure::ServiceBusy;
  return DownloadFailure::Other;
}
