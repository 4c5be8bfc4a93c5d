#include "common/temperature.h"

#include <cmath>
#include <limits>

namespace {

bool isAtoiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Far beyond any weather on Earth, well inside what a double holds exactly
// to a tenth.
constexpr double kExactLimit = 1000;

}  // namespace

std::optional<int32_t> leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isAtoiSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size() || !isDigit(text[i])) return std::nullopt;
  constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && isDigit(text[i]); ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

std::optional<double> exactFahrenheit(std::string_view text) {
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  std::size_t digits = 0;
  double value = 0;
  for (; i < text.size() && isDigit(text[i]) && digits < 4; ++i, ++digits)
    value = value * 10 + (text[i] - '0');
  if (digits == 0) return std::nullopt;
  if (i < text.size() && text[i] == '.' && i + 2 == text.size() && isDigit(text[i + 1])) {
    value += (text[i + 1] - '0') / 10.0;
    i += 2;
  }
  if (i != text.size() || value > kExactLimit) return std::nullopt;
  return text[0] == '-' ? -value : value;
}

int32_t displayDegrees(double fahrenheit, bool metric) {
  double value = metric ? (fahrenheit - 32.0) / 1.8 : fahrenheit;
  // std::round takes halves away from zero.
  value = std::round(value);
  if (value >= double(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (value <= double(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

std::optional<int32_t> toDisplayTemperature(std::string_view text, bool metric,
                                            std::string_view exactText) {
  std::optional<int32_t> whole = leadingInteger(text);
  if (!whole) return std::nullopt;
  std::optional<double> exact = exactFahrenheit(exactText);
  // A head that disagrees with the page's own number is not this reading.
  if (exact && std::fabs(*exact - *whole) <= 1.0) return displayDegrees(*exact, metric);
  return displayDegrees(*whole, metric);
}
