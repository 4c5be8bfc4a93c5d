#include "weather/status.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Tooltip, NameTemperatureDegreeSignAndUnit) {
  struct Case {
    std::string name, temperature;
    bool metric;
    std::string tip;
  } cases[] = {
      {"Oslo", "-3", false,
       "Oslo -3\xB0"
       "F"},
      {"Oslo", "-3", true,
       "Oslo -19\xB0"
       "C"},
      {"Austin, TX", "72", true,
       "Austin, TX 22\xB0"
       "C"},
      {"Austin, TX", "31", true,
       "Austin, TX 0\xB0"
       "C"},
      {"", "", false,
       " 0\xB0"
       "F"},
      {"", "", true,
       " -17\xB0"
       "C"},
      {"100% %s%n", "5", false,
       "100% %s%n 5\xB0"
       "F"},  // never a format
  };
  for (const Case& c : cases) EXPECT_EQ(tooltipText(c.name, c.temperature, c.metric), c.tip);
}

TEST(Tooltip, LongNameIsShortenedSoTheReadingStays) {
  for (std::size_t length : {120u, 121u, 122u, 200u, 255u}) {
    std::string tip = tooltipText(std::string(length, 'n'), "-40", false);
    EXPECT_LE(tip.size(), kTipSize - 1) << length;
    EXPECT_EQ(tip.substr(tip.size() - 6),
              " -40\xB0"
              "F")
        << length;
  }
  std::string fits(127 - 6, 'n');
  EXPECT_EQ(tooltipText(fits, "-40", false), fits +
                                                 " -40\xB0"
                                                 "F");
  std::string over = fits + "n";
  EXPECT_EQ(tooltipText(over, "-40", false), std::string(127 - 6 - 3, 'n') +
                                                 "... -40\xB0"
                                                 "F");
}

}  // namespace
