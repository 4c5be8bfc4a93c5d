#include "common/temperature.h"

#include <cmath>
#include <limits>

namespace {

bool isAtoiSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi's reading without its undefined behaviour on overflow: the value
// saturates at the nearer 32-bit limit.
int32_t leadingInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isAtoiSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > limit) magnitude = limit;
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
  return static_cast<int32_t>(value);
}

}  // namespace

int32_t toDisplayTemperature(std::string_view text, bool metric) {
  int32_t fahrenheit = leadingInteger(text);
  if (!metric) return fahrenheit;
  // Computed in double, so the subtraction cannot overflow; the quotient of
  // any 32-bit input lies well inside the 32-bit range.
  double celsius = (static_cast<double>(fahrenheit) - 32.0) / 1.8;
  return static_cast<int32_t>(std::trunc(celsius));
}
