#include "service/http/request_log.h"

#include <cstdio>
#include <ctime>
#include <mutex>

std::string printable(std::string_view text, std::size_t limit) {
  std::string line;
  for (unsigned char c : text.substr(0, limit)) {
    if (c < 0x20 || c >= 0x7f) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      line += hex;
    } else {
      line += char(c);
    }
  }
  if (text.size() > limit) line += "...";
  return line;
}

void logRequest(std::ostream* log, std::string_view client, std::string_view method,
                std::string_view target, int status, std::size_t bytes) {
  if (!log) return;
  static std::mutex lock;
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
  std::string line = std::string(stamp) + ' ' + printable(client, 64) + ' ' +
                     printable(method, 16) + ' ' + printable(target) + ' ' +
                     std::to_string(status) + ' ' + std::to_string(bytes) + '\n';
  std::lock_guard<std::mutex> guard(lock);
  *log << line << std::flush;
}
