// textModeRead on arbitrary file bytes, beside a replace-all reading.

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "weather/fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  std::string expected(file.substr(0, file.find('\x1a')));
  // CR LF pairs never overlap, so replacing them left to right is the reading.
  for (std::size_t at = 0; (at = expected.find("\r\n", at)) != std::string::npos; ++at) {
    expected.erase(at, 1);
  }
  std::string text = textModeRead(file);
  check(text == expected, "text-mode read agrees");
  check(!contains(text, std::string_view("\x1a", 1)), "no end-of-file byte");
  return 0;
}
