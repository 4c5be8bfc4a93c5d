// toDisplayTemperature on arbitrary texts, beside the same reading done in
// 128-bit arithmetic.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string_view>

#include "check.h"
#include "common/temperature.h"

namespace {

std::optional<int64_t> referenceFahrenheit(std::string_view text) {
  std::size_t i = text.find_first_not_of(" \t\n\v\f\r");
  if (i == std::string_view::npos) return std::nullopt;
  __int128 sign = 1;
  if (text[i] == '+' || text[i] == '-') sign = text[i++] == '-' ? -1 : 1;
  if (i == text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
  __int128 magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Past 2^40 the value stays beyond either limit; stop growing it there.
    if (magnitude < (__int128{1} << 40)) magnitude = magnitude * 10 + (text[i] - '0');
  }
  __int128 value = sign * magnitude;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int64_t>(value);
}

int64_t referenceCelsius(int64_t fahrenheit) {
  // The difference is exact in a double: |fahrenheit - 32| < 2^53.
  return static_cast<int64_t>(std::round(static_cast<double>(fahrenheit - 32) / 1.8));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::optional<int64_t> read = referenceFahrenheit(text);
  if (!read) {
    check(!toDisplayTemperature(text, false) && !toDisplayTemperature(text, true),
          "no number, nothing shown");
    return 0;
  }
  int64_t fahrenheit = *read;
  check(toDisplayTemperature(text, false) == fahrenheit, "Fahrenheit reading agrees");
  int64_t celsius = referenceCelsius(fahrenheit);
  check(celsius >= std::numeric_limits<int32_t>::min() &&
            celsius <= std::numeric_limits<int32_t>::max(),
        "Celsius fits 32 bits");
  check(toDisplayTemperature(text, true) == celsius, "Celsius reading agrees");
  return 0;
}
