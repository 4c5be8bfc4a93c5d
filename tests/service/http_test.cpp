#include <httplib.h>
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>

#include "service/serve.h"
#include "weather/weather_page.h"

namespace {

// Stops the server and joins its thread however the test leaves the scope.
struct Running {
  httplib::Server& server;
  std::thread thread;
  ~Running() {
    server.stop();
    thread.join();
  }
};

// The real server on an ephemeral loopback port, in-process.
TEST(Http, ServesPagesAndFaultsOnLoopback) {
  PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  const UnixTime now = parseUtc("2026-01-15T14:00:00Z").value();
  std::ostringstream log;
  httplib::Server server;
  installService(server, {&data.places, [now] { return now; }, {}, &log});
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  {
    Running running{server, std::thread([&] { server.listen_after_bind(); })};
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(5, 0);

    auto report = client.Get("/report/oslo-norway");
    ASSERT_TRUE(report);
    EXPECT_EQ(report->status, 200);
    EXPECT_EQ(report->get_header_value("Content-Type"), "text/html; charset=windows-1252");
    Conditions read{};
    scanWeatherPage(report->body, read);
    Weather expected = weatherAt(*findBySlug(data.places, "oslo-norway"), now);
    EXPECT_EQ(textOf(read.locationName), "Oslo, Norway");
    EXPECT_EQ(textOf(read.temperatureText), std::to_string(expected.temperatureF));
    EXPECT_EQ(textOf(read.feelsLikeText), std::to_string(expected.feelsLikeF));

    auto odd = client.Get("/?location=%ff%&#x");
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->status, 200);
    EXPECT_NE(odd->body.find("Unknown location"), std::string::npos);

    auto error = client.Get("/status/503/report/oslo-norway");
    ASSERT_TRUE(error);
    EXPECT_EQ(error->status, 503);

    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(client.Get("/slow/300/report/oslo-norway"));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));

    // The cut connection ends before the promised length.
    auto cut = client.Get("/cut/report/oslo-norway");
    EXPECT_FALSE(cut && cut->body.size() == report->body.size());
  }
  // One line per request, with its status; the client keeps the fragment.
  std::string lines = log.str();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 5);
  EXPECT_NE(lines.find(" GET /status/503/report/oslo-norway 503 "), std::string::npos);
  EXPECT_NE(lines.find(" GET /?location=%ff%& 200 "), std::string::npos);
}

}  // namespace
