#include "weather/status.h"

#include "weather/conditions_text.h"

#include <gtest/gtest.h>

#include <optional>
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
       "Austin, TX -1\xB0"
       "C"},
      {"Austin, TX", "37", true,
       "Austin, TX 3\xB0"
       "C"},
      {"100% %s%n", "5", false,
       "100% %s%n 5\xB0"
       "F"},  // never a format
  };
  for (const Case& c : cases) EXPECT_EQ(tooltipText(c.name, c.temperature, c.metric), c.tip);
}

TEST(Tooltip, NoNumberSaysTheWeatherIsUnavailableAndWhy) {
  struct Case {
    std::string name, temperature;
    Unavailable why;
    std::string tip;
  } cases[] = {
      {"Paris, France", "", Unavailable::NoConnection,
       "Paris, France: weather unavailable (no connection)"},
      {"Paris, France", "N/A", Unavailable::ServiceBusy,
       "Paris, France: weather unavailable (service busy)"},
      {"Paris, France", "", Unavailable::NoReading, "Paris, France: weather unavailable"},
      {"Paris, France", "", Unavailable::Waiting, "Paris, France: Connecting..."},
      {"", "", Unavailable::NoConnection, "Weather unavailable (no connection)"},
      {"", "-", Unavailable::Waiting, "Connecting..."},
      {std::string(200, 'n'), "", Unavailable::NoConnection,
       std::string(127 - 37 - 3, 'n') + "...: weather unavailable (no connection)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(tooltipText(c.name, c.temperature, true, "12:00", "", c.why), c.tip) << c.tip;
  }
  // A page without a name: the history's name for the place.
  TrayInputs in{"", "", false, true, std::nullopt, 0, ""};
  in.historyName = "Oslo, Norway";
  in.unavailable = Unavailable::NoConnection;
  TrayStatus status = trayStatus(in);
  EXPECT_EQ(status.tip, "Oslo, Norway: weather unavailable (no connection)");
  EXPECT_EQ(status.iconText, "");
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

TEST(TrayStatus, OldReadingsSayWhenAndAreDimmed) {
  constexpr int64_t k2350 = 1798761000;  // 2026-12-31T23:50:00Z
  const std::string degrees = "\xB0";
  struct Case {
    const char* what;
    std::optional<int64_t> readingTime;
    int64_t now;
    bool old;
  } cases[] = {
      {"no reading yet", std::nullopt, k2350 + 9 * 3600, false},
      {"fresh", k2350, k2350, false},
      {"29:59", k2350, k2350 + 1799, false},
      {"30:00, after midnight", k2350, k2350 + 1800, true},
      {"hours later", k2350, k2350 + 9 * 3600, true},
      {"a little ahead of this clock", k2350 + 120, k2350, false},
  };
  for (const Case& c : cases) {
    TrayStatus status = trayStatus({"Oslo", "-3", false, true, c.readingTime, c.now, "23:50"});
    EXPECT_EQ(status.tip, "Oslo -3" + degrees + (c.old ? "F, as of 23:50" : "F")) << c.what;
    EXPECT_EQ(status.old, c.old) << c.what;
  }
  // However long the name, the age is said whole.
  TrayStatus long_ =
      trayStatus({std::string(200, 'n'), "-40", false, false, k2350, k2350 + 3600, "11:50 PM"});
  EXPECT_EQ(long_.tip, std::string(127 - 22 - 3, 'n') + "... -40" + degrees + "F, as of 11:50 PM");
}

TEST(TrayStatus, IconShowsTheTemperatureInTheUnitInForce) {
  struct Case {
    std::string temperature;
    bool metric, option, reading;
    std::string iconText;
  } cases[] = {
      {"72", false, true, true, "72"}, {"72", true, true, true, "22"},
      {"-8", false, true, true, "-8"}, {"104", false, true, true, "104"},
      {"10", true, true, true, "-12"}, {"-40", true, true, true, "-40"},
      {"31", true, true, true, "-1"},  {"-100", false, true, true, ""},  // too wide
      {"N/A", false, true, true, ""},  {"", true, true, true, ""},       // no number
      {"72", false, false, true, ""},  {"72", false, true, false, ""},   // off; no reading
  };
  for (const Case& c : cases) {
    std::optional<int64_t> reading;
    if (c.reading) reading = 0;
    EXPECT_EQ(trayStatus({"Oslo", c.temperature, c.metric, c.option, reading, 0, "00:00"}).iconText,
              c.iconText)
        << c.temperature << (c.metric ? " C" : " F");
  }
}

// The second line: the day's outlook from the same page as the reading, in
// the unit in force; what the page does not give, or gives wrong, is left
// out; the name is cut before any of the weather.
TEST(TrayStatus, SecondLineGivesTheDayInTheUnitInForce) {
  const std::string deg = "\xB0";
  struct Case {
    const char* what;
    const char *code, *daytime, *high, *low, *chance;
    bool metric, old;
    std::string tip;
  } cases[] = {
      {"all", "61", "1", "63.0", "48.0", "40", false, false,
       "Oslo -3" + deg + "F\nLight rain, high 63" + deg + ", low 48" + deg +
           ", 40% chance of rain"},
      {"Celsius", "61", "0", "63.0", "48.0", "40", true, false,
       "Oslo -19" + deg + "C\nLight rain, high 17" + deg + ", low 9" + deg +
           ", 40% chance of rain"},
      {"old", "96", "1", "-3.5", "-10.4", "100", true, true,
       "Oslo -19" + deg + "C, as of 23:50\nThunderstorm with hail, high -20" + deg + ", low -24" +
           deg + ", 100% chance of rain"},
      {"below 10%", "2", "1", "63.0", "48.0", "9", false, false,
       "Oslo -3" + deg + "F\nPartly cloudy, high 63" + deg + ", low 48" + deg},
      {"no condition", "", "", "63.0", "", "10", false, false,
       "Oslo -3" + deg + "F\nHigh 63" + deg + ", 10% chance of rain"},
      {"nothing", "", "", "", "", "", false, false, "Oslo -3" + deg + "F"},
      {"all wrong", "4", "x", "1e3", "-", "101", false, false, "Oslo -3" + deg + "F"},
      {"high below low", "3", "1", "40.0", "48.0", "040", false, false,
       "Oslo -3" + deg + "F\nCloudy, 40% chance of rain"},
  };
  for (const Case& c : cases) {
    Conditions page{};
    copyText(page.weatherCodeText, c.code);
    copyText(page.daytimeText, c.daytime);
    copyText(page.highText, c.high);
    copyText(page.lowText, c.low);
    copyText(page.precipitationText, c.chance);
    TrayInputs in{"Oslo", "-3", c.metric, false, 0, c.old ? 3600 : 0, "23:50"};
    in.outlook = pageOutlook(page);
    EXPECT_EQ(trayStatus(in).tip, c.tip) << c.what;
    // However long the name, the weather stays whole.
    const std::string longName(255, 'n');
    in.locationName = longName;
    std::string tip = trayStatus(in).tip;
    EXPECT_LE(tip.size(), kTipSize - 1) << c.what;
    EXPECT_EQ(tip.substr(tip.size() - (c.tip.size() - 4)), c.tip.substr(4)) << c.what;
  }
}

}  // namespace
