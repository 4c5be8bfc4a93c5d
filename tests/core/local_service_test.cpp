#include "weather/local_service.h"

#include <gtest/gtest.h>

#include <optional>

TEST(LocalService, StartsOnlyForTheDefaultLoopbackAddress) {
  struct Case {
    const char* inForce;
    const char* byDefault;
    std::optional<int> port;
  } cases[] = {
      {"http://127.0.0.1:8642", "http://127.0.0.1:8642", 8642},
      {"http://localhost:9000", "http://localhost:9000", 9000},
      {"http://127.0.0.1", "http://127.0.0.1", 80},
      {"http://127.0.0.1:8643", "http://127.0.0.1:8642", std::nullopt},  // [Service] BaseUrl
      {"https://weather.example.net", "https://weather.example.net", std::nullopt},
      {"https://127.0.0.1:8642", "https://127.0.0.1:8642", std::nullopt},
      {"http://127.0.0.1:8642/w", "http://127.0.0.1:8642/w", std::nullopt},
      {"http://127.0.0.10:8642", "http://127.0.0.10:8642", std::nullopt},
      {"http://127.0.0.1:99999", "http://127.0.0.1:99999", std::nullopt},
  };
  for (const Case& c : cases)
    EXPECT_EQ(localServicePort(c.inForce, c.byDefault), c.port) << c.inForce;
}

// Whatever the settings file holds, the service gets exactly its own
// arguments: a value is one quoted argument or is left out.
TEST(LocalService, CommandLineCannotBeWidened) {
  const std::string fixed =
      " --listen 127.0.0.1:8642 --local-only --places world --weather open-meteo --threads 8";
  struct Case {
    const char* program;
    const char* url;
    const char* key;
    std::string line;
  } cases[] = {
      {"C:\\Skyvane\\skyvane-service.exe", "", "", "\"C:\\Skyvane\\skyvane-service.exe\"" + fixed},
      {"C:\\My \"x\\\"\\skyvane-service.exe", "http://127.0.0.1:4000", "k-1.2_3~",
       "\"C:\\My \\\"x\\\\\\\"\\skyvane-service.exe\"" + fixed +
           " --open-meteo-url \"http://127.0.0.1:4000\" --open-meteo-key \"k-1.2_3~\""},
      {"a\\", "http://x\" --faults \"", "k --faults", "\"a\\\\\"" + fixed},
      {"a", "ftp://weather.example.net", "k\"ey", "\"a\"" + fixed},
  };
  for (const Case& c : cases)
    EXPECT_EQ(serviceCommandLine(c.program, 8642, c.url, c.key), c.line) << c.program;
  // The alert sources' addresses are held to the same rule.
  EXPECT_EQ(serviceCommandLine("a", 8642, "", "", "http://127.0.0.1:4001", "http://x\" --faults"),
            "\"a\"" + fixed + " --nws-url \"http://127.0.0.1:4001\"");
}

TEST(LocalService, StartsAgainAtMostOnceAMinute) {
  EXPECT_TRUE(serviceStartDue(5, std::nullopt));
  EXPECT_FALSE(serviceStartDue(59999, 0));
  EXPECT_TRUE(serviceStartDue(60000, 0));
  EXPECT_FALSE(serviceStartDue(100, 0xFFFFFF00u));  // across the tick count's wrap
  EXPECT_TRUE(serviceStartDue(60000, 0xFFFFFF00u));
}
