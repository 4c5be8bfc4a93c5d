#include "common/service_url.h"

#include <gtest/gtest.h>

#include <string>

TEST(ServiceBaseUrl, OnlySchemeHostPortAndPathAreTaken) {
  const std::string longHost = "http://" + std::string(190, 'a') + ".example";
  struct Case {
    std::string url;
    bool accepted;
  } cases[] = {
      {"http://127.0.0.1:8642", true},
      {"https://weather.example.net", true},
      {"http://[::1]:8080", true},
      {"https://example.net/skyvane/v1", true},
      {longHost.substr(0, 200), true},
      {longHost.substr(0, 201), false},
      {"", false},
      {"ftp://example.net", false},
      {"http://", false},
      {"http://example.net/", false},
      {"http://example.net:", false},
      {"http://example.net:123456", false},
      {"http://user@example.net", false},
      {"http://example.net@evil.host", false},
      {"http://example.net\\x", false},
      {"http://exa mple.net", false},
      {"http://example.net?x=1", false},
      {"http://example.net#x", false},
      {"http://example.net\r\n[x]", false},
      {"HTTP://example.net", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isServiceBaseUrl(c.url), c.accepted) << c.url;
}

TEST(ServiceBaseUrl, ABadAddressKeepsTheOneInForce) {
  ASSERT_EQ(serviceBaseUrl(), kServiceBaseUrl);
  EXPECT_FALSE(useServiceBaseUrl("http://a@b"));
  EXPECT_EQ(serviceBaseUrl(), kServiceBaseUrl);
  EXPECT_TRUE(useServiceBaseUrl("https://weather.example.net"));
  EXPECT_EQ(serviceBaseUrl(), "https://weather.example.net");
  useServiceBaseUrl(kServiceBaseUrl);
}
