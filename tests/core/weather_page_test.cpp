#include "weather/weather_page.h"

#include <gtest/gtest.h>

#include <string>

#include "test_files.h"

namespace {

// Page pieces with the markers at the offsets the scanner expects.
std::string location(const std::string& name, char skipped = '>') {
  return std::string("<h1 id=\"currentWeather\"") + skipped + name + "</h1>\n";
}
std::string temperature(const std::string& value, char skipped = '>') {
  return std::string("<span id=\"currentTemperature\"") + skipped + value + "&deg;F</span>\n";
}
std::string feelsLike(const std::string& value,
                      std::string skipped = "/dt><dd class=\"value feels-like\">") {
  return "<dt>Feels Like:<" + skipped + value + "&deg;F</dd>\n";
}

struct Expected {
  std::string name, temperature, feelsLike;
};

void expectScan(const std::string& page, const Expected& expected) {
  Conditions result;
  std::memset(&result, 'x', sizeof result);  // everything must be rewritten
  scanWeatherPage(page, result);
  EXPECT_EQ(textOf(result.locationName), expected.name);
  EXPECT_EQ(textOf(result.temperatureText), expected.temperature);
  EXPECT_EQ(textOf(result.feelsLikeText), expected.feelsLike);
}

TEST(WeatherPage, RealisticReportPage) {
  expectScan(readTestData("report_oslo.html"), {"Oslo, Norway", "-3", "-9"});
}

TEST(WeatherPage, MarkerRules) {
  const std::string l = location("Oslo"), t = temperature("-3"), f = feelsLike("-9");
  struct Case {
    const char* what;
    std::string page;
    Expected expected;
  } cases[] = {
      {"empty page", "", {"", "", ""}},
      {"no location marker", "<p>" + t + f + "</p>", {"", "", ""}},
      {"in order", l + t + f, {"Oslo", "-3", "-9"}},
      {"feels-like first", l + f + t, {"Oslo", "-3", "-9"}},
      {"values before the location are not found", f + t + l, {"Oslo", "", ""}},
      {"last occurrence wins", l + temperature("100") + temperature("7"), {"Oslo", "7", ""}},
      {"empty later value empties", l + temperature("100") + temperature(""), {"Oslo", "", ""}},
      {"second location ignored", l + location("Bergen") + t, {"Oslo", "-3", ""}},
      {"ampersand in name kept", location("A&B") + t, {"A&B", "-3", ""}},
      {"control bytes in name become spaces", location("A\r\n[x]\t") + t, {"A  [x] ", "-3", ""}},
      {"less-than in temperature kept",
       l + "<i id=\"currentTemperature\">4<5&",
       {"Oslo", "4<5", ""}},
      {"stop byte skipped after location marker", location("Oslo", '<') + t, {"Oslo", "-3", ""}},
      {"stop byte skipped after temperature marker", l + temperature("8", '&'), {"Oslo", "8", ""}},
      {"stop bytes skipped after feels-like marker",
       l + feelsLike("2", std::string(33, '&')),
       {"Oslo", "", "2"}},
      {"name runs to the end", "currentWeather\">Oslo", {"Oslo", "", ""}},
      {"location marker ends the text", "x currentWeather\"", {"", "", ""}},
      {"location copy starts past the end", "currentWeather\">", {"", "", ""}},
      {"marker cut off", l + "currentTemperatu", {"Oslo", "", ""}},
      {"temperature copy starts past the end", l + "currentTemperature\"", {"Oslo", "", ""}},
      {"value without stop runs to the end", l + "currentTemperature\">55", {"Oslo", "55", ""}},
      {"marker inside the location name not found",
       "currentWeather\">currentTemperature\">1&<",
       {"currentTemperature\">1&", "", ""}},
      {"marker inside a value not found",
       l + "currentTemperature\">5 currentTemperature\">6&",
       {"Oslo", "5 currentTemperature\">6", ""}},
      {"case-sensitive markers",
       l + "currenttemperature\">5&feels like:<" + std::string(33, '.') + "6&",
       {"Oslo", "", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    expectScan(c.page, c.expected);
  }
}

TEST(WeatherPage, LongValuesStoreTheirFirst255Bytes) {
  std::string longName(300, 'n');
  std::string hidden = temperature("99");  // inside the passed-over rest of the long value
  std::string page = location(longName) +
                     temperature(std::string(250, '1') + hidden + std::string(40, '2')) +
                     feelsLike("5");
  Conditions result;
  scanWeatherPage(page, result);
  EXPECT_EQ(textOf(result.locationName), std::string(255, 'n'));
  std::string expectedTemperature = (std::string(250, '1') + hidden).substr(0, 255);
  EXPECT_EQ(textOf(result.temperatureText), expectedTemperature);
  EXPECT_EQ(textOf(result.feelsLikeText), "5");
}

TEST(WeatherPage, NeverReadsOutsideThePage) {
  // The page is a window inside a larger buffer whose surrounding bytes would
  // complete markers and values if the scan strayed past either end.
  std::string buffer = location("Outside") + "currentWeather\">In<currentTemperature\">1" + "&tail";
  std::string_view whole(buffer);
  std::size_t start = whole.find("currentWeather\">In");
  std::string_view page = whole.substr(start, whole.find("&tail") - start);
  Conditions result;
  scanWeatherPage(page, result);
  EXPECT_EQ(textOf(result.locationName), "In");
  EXPECT_EQ(textOf(result.temperatureText), "1");
}

TEST(WeatherPage, ReadingTimeFromTheMarkElseTheDownload) {
  constexpr int64_t k1405 = 1796652300;  // 2026-12-07T14:05:00Z
  auto page = [](const std::string& mark) {
    return "<html><head><meta name=\"skyvane-observed\" content=\"" + mark + "\"></head>\n" +
           location("Oslo") + temperature("-3");
  };
  struct Case {
    const char* what;
    std::string page;
    int64_t downloadedAt;
    int64_t expected;
  } cases[] = {
      {"the fixture's mark", readTestData("report_oslo.html"), 1796616000 + 1200, 1796616000},
      {"minutes", page("2026-12-07T14:05Z"), k1405 + 3600, k1405},
      {"seconds", page("2026-12-07T14:05:30Z"), k1405 + 3600, k1405 + 30},
      {"leap day", page("2024-02-29T12:00Z"), 1709208000, 1709208000},
      {"no mark", location("Oslo") + temperature("-3"), k1405, k1405},
      {"mark in the body", location("Oslo") + page("2026-12-07T14:05Z"), k1405 + 60, k1405 + 60},
      {"bad digit", page("2026-12-07T1a:05Z"), k1405 + 60, k1405 + 60},
      {"no Z", page("2026-12-07T14:05"), k1405 + 60, k1405 + 60},
      {"an offset instead of Z", page("2026-12-07T14:05+01:00"), k1405 + 60, k1405 + 60},
      {"month 13", page("2026-13-07T14:05Z"), k1405 + 60, k1405 + 60},
      {"29 February of a common year", page("2026-02-29T14:05Z"), k1405, k1405},
      {"hour 24", page("2026-12-07T24:05Z"), k1405 + 60, k1405 + 60},
      {"second 60", page("2026-12-07T14:05:60Z"), k1405 + 60, k1405 + 60},
      {"empty", page(""), k1405, k1405},
      {"ten minutes ahead", page("2026-12-07T14:05Z"), k1405 - 600, k1405},
      {"further ahead", page("2026-12-07T14:05Z"), k1405 - 601, k1405 - 601},
      {"a week old", page("2026-12-07T14:05Z"), k1405 + 604800, k1405},
      {"older than a week", page("2026-12-07T14:05Z"), k1405 + 604801, k1405 + 604801},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(readingTime(c.page, c.downloadedAt), c.expected) << c.what;
  }
}

}  // namespace
