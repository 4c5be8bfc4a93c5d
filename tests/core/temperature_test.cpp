#include "common/temperature.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

constexpr int32_t kMax = 2147483647, kMin = -2147483647 - 1;

struct Case {
  std::string text;
  bool metric;
  std::optional<int32_t> expected;
  std::string exact = {};
};

class DisplayTemperature : public testing::TestWithParam<Case> {};

TEST_P(DisplayTemperature, ReadsTheNumberAndRoundsToTheNearestDegree) {
  const Case& c = GetParam();
  EXPECT_EQ(toDisplayTemperature(c.text, c.metric, c.exact), c.expected)
      << '"' << c.text << "\" exact \"" << c.exact << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Fahrenheit, DisplayTemperature,
    testing::Values(Case{"72", false, 72}, Case{"-3", false, -3}, Case{"  +7", false, 7},
                    Case{"7a", false, 7}, Case{"\t\n-12&deg;", false, -12},
                    // No number is no reading: nothing to draw, never 0.
                    Case{"", false, std::nullopt}, Case{"N/A", false, std::nullopt},
                    Case{"- 5", false, std::nullopt}, Case{"-", false, std::nullopt},
                    Case{"2147483647", false, kMax}, Case{"2147483648", false, kMax},
                    Case{"-2147483648", false, kMin}, Case{"-99999999999999999999", false, kMin},
                    Case{"99999999999999999999999", false, kMax},
                    // The head's tenths, when they are this reading's.
                    Case{"42", false, 42, "41.5"}, Case{"-8", false, -8, "-7.5"},
                    Case{"42", false, 42, "44.0"}, Case{"", false, std::nullopt, "41.5"},
                    Case{"42", false, 42, "41.55"}, Case{"42", false, 42, "4e1"}));

INSTANTIATE_TEST_SUITE_P(
    Celsius, DisplayTemperature,
    testing::Values(Case{"0", true, -18}, Case{"31", true, -1}, Case{"37", true, 3},
                    Case{"-7", true, -22}, Case{"50", true, 10}, Case{"100", true, 38},
                    Case{"212", true, 100}, Case{"-40", true, -40}, Case{"72", true, 22},
                    Case{"-3", true, -19}, Case{"", true, std::nullopt},
                    // 41.5 °F is 5.3 °C; the marker's 42 alone would give 6.
                    Case{"42", true, 5, "41.5"}, Case{"33", true, 0, "32.9"},
                    // Halves away from zero: 36.5 °F is 2.5 °C, 27.5 °F is -2.5 °C.
                    Case{"37", true, 3, "36.5"}, Case{"28", true, -3, "27.5"},
                    Case{"-2147483648", true, -1193046489}, Case{"2147483647", true, 1193046453}));

}  // namespace
