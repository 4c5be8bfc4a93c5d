#include <gtest/gtest.h>
#include <httplib.h>

#include <string>
#include <thread>

#include "fake_open_meteo.h"
#include "service/http/host_check.h"
#include "service/weather/open_meteo_client.h"

// The upstream client of the platform (OpenSSL's on Linux, WinHTTP on
// Windows) against the stand-in forecast server: what it reads, and what it
// refuses.
TEST(UpstreamClient, ReadsOrRefusesAnswers) {
  struct Case {
    FakeAnswer answer;
    bool read;
  } cases[] = {
      {{200, forecastJson(-7.5, -18.4)}, true},
      {{500, forecastJson(70, 70)}, false},
      {{200, std::string(kMaxForecastBytes + 1, ' ')}, false},
      {{200, forecastJson(70, 70), 0, true}, false},
      {{200, forecastJson(70, 70), 1500}, false},  // past the read timeout
  };
  FakeOpenMeteo fake;
  ASSERT_GT(fake.port(), 0);
  UpstreamConfig config;
  config.baseUrl = fake.url();
  config.connectTimeoutMs = 500;
  config.readTimeoutMs = 500;
  OpenMeteoClient client(config);
  for (const Case& c : cases) {
    fake.answer(c.answer);
    UpstreamResult result = client.fetch(59.91, 10.75);
    EXPECT_EQ(result.reading.has_value(), c.read) << c.answer.status << " " << result.error;
    if (result.reading) {
      EXPECT_DOUBLE_EQ(result.reading->temperatureF, -7.5);
    }
  }
}

// A local service answers only requests addressed to its own loopback name.
TEST(UpstreamClient, LocalServiceAnswersOnlyItsOwnHost) {
  httplib::Server server;
  server.Get("/", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("ok", "text/plain");
  });
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  requireOwnLoopbackHost(server, port);
  std::thread thread([&] { server.listen_after_bind(); });
  std::string own = ":" + std::to_string(port);
  struct Case {
    std::string host;
    int status;
  } cases[] = {{"127.0.0.1" + own, 200}, {"LocalHost" + own, 200}, {"rebound.example" + own, 403},
               {"127.0.0.1:1", 403},     {"127.0.0.1", 403},       {"127.0.0.2" + own, 403}};
  httplib::Client client("127.0.0.1", port);
  for (const Case& c : cases) {
    auto result = client.Get("/", {{"Host", c.host}});
    ASSERT_TRUE(result) << c.host;
    EXPECT_EQ(result->status, c.status) << c.host;
  }
  server.stop();
  thread.join();
}
