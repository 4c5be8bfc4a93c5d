#include "common/temperature.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Case {
  std::string text;
  bool metric;
  int32_t expected;
};

class DisplayTemperature : public testing::TestWithParam<Case> {};

TEST_P(DisplayTemperature, ReadsLeadingIntegerAndConverts) {
  const Case& c = GetParam();
  EXPECT_EQ(toDisplayTemperature(c.text, c.metric), c.expected) << '"' << c.text << '"';
}

INSTANTIATE_TEST_SUITE_P(Fahrenheit, DisplayTemperature,
                         testing::Values(Case{"72", false, 72}, Case{"-3", false, -3},
                                         Case{"", false, 0}, Case{"N/A", false, 0},
                                         Case{"  +7", false, 7}, Case{"7a", false, 7},
                                         Case{"\t\n-12&deg;", false, -12}, Case{"- 5", false, 0},
                                         Case{"2147483647", false, 2147483647},
                                         Case{"2147483648", false, 2147483647},
                                         Case{"-2147483648", false, -2147483647 - 1},
                                         Case{"-99999999999999999999", false, -2147483647 - 1},
                                         Case{"99999999999999999999999", false, 2147483647}));

INSTANTIATE_TEST_SUITE_P(
    Celsius, DisplayTemperature,
    testing::Values(Case{"0", true, -17}, Case{"31", true, 0}, Case{"50", true, 10},
                    Case{"100", true, 37}, Case{"212", true, 100}, Case{"-40", true, -40},
                    Case{"72", true, 22}, Case{"-3", true, -19}, Case{"", true, -17},
                    Case{"-2147483648", true, -1193046488}, Case{"2147483647", true, 1193046452}));

}  // namespace
