#include <httplib.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <algorithm>
#include <sstream>
#include <thread>

#include "service/http/hardened_server.h"
#include "service/http/handlers.h"
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

// What a raw client gets: it sends `pieces` with `pauseMs` between them, then
// reads until the server closes, at most 3 s after the last piece.
struct RawExchange {
  std::string received;
  std::chrono::milliseconds took;
};

RawExchange rawExchange(int port, const std::vector<std::string>& pieces, int pauseMs) {
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(std::uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto start = std::chrono::steady_clock::now();
  RawExchange exchange;
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    timeval timeout{3, 0};
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    for (const std::string& piece : pieces) {
      if (send(sock, piece.data(), piece.size(), MSG_NOSIGNAL) < 0) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
    char buffer[4096];
    for (ssize_t n; (n = recv(sock, buffer, sizeof buffer, 0)) > 0;)
      exchange.received.append(buffer, n);
  }
  close(sock);
  exchange.took = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  return exchange;
}

// Clients that are slow, silent, oversized or odd get one short page or a
// closed connection in bounded time, never an answer to bytes that were not
// a request, and the server goes on serving.
TEST(Http, BoundsWhatAClientCanHold) {
  PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  ServerLimits limits;
  limits.headDeadlineMs = 600;
  limits.readTimeoutMs = 400;
  limits.keepAliveMs = 400;
  limits.workers = 4;
  HardenedServer server(limits);
  std::ostringstream log;
  server.guard(nullptr, &log);
  ServiceSetup setup{&data.places, [] { return UnixTime(1768485600); }, {}, &log};
  setup.faultPrefixes = false;
  installService(server, setup);
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  {
    Running running{server, std::thread([&] { server.listen_after_bind(); })};

    std::vector<std::string> trickle{"GET /report/oslo-norway HTTP/1.1\r\n"};
    for (int i = 0; i < 40; ++i) trickle.push_back("X-" + std::to_string(i) + ": y\r\n");
    std::vector<std::string> manyHeaders{"GET / HTTP/1.1\r\n"};
    for (int i = 0; i < 4000; ++i) manyHeaders.push_back("X-" + std::to_string(i) + ": y\r\n");
    const std::string next = "GET /report/oslo-norway HTTP/1.1\r\nConnection: close\r\n\r\n";
    struct Case {
      const char* name;
      std::vector<std::string> pieces;
      int pauseMs;
      const char* statusLine;  // the first answer's first line; "" for a closed connection
      int answers;             // answers on the connection
    };
    const Case cases[] = {
        {"head trickled past its deadline", trickle, 50, "HTTP/1.1 408 Request Timeout", 1},
        {"silent", {}, 0, "", 0},
        {"a header of 20 KB",
         {"GET / HTTP/1.1\r\nX: " + std::string(20000, 'a') + "\r\n\r\n" + next},
         0,
         "HTTP/1.1 431 Request Header Fields Too Large",
         1},
        {"thousands of headers", manyHeaders, 0, "HTTP/1.1 431 Request Header Fields Too Large", 1},
        {"a link of 20 KB",
         {"GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n" + next},
         0,
         "HTTP/1.1 414 URI Too Long",
         1},
        {"a request line of 100 KB",
         {"GET /" + std::string(100000, 'a') + " HTTP/1.1\r\n\r\n"},
         0,
         "HTTP/1.1 414 URI Too Long",
         1},
        {"garbage",
         {std::string("\x16\x03\x01\x02\x00\x01\x00\x01\xfc\x03\x03\r\n\r\n", 16) + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a method of control bytes and a kilobyte",
         {"\x1b[31m\rGET" + std::string(1000, 'A') + " / HTTP/1.1\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a header line without a colon, then a request",
         {"GET / HTTP/1.1\r\nno colon here\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a body on a POST",
         {"POST / HTTP/1.1\r\nContent-Length: 1000000\r\n\r\n" + next},
         0,
         "HTTP/1.1 413 Payload Too Large",
         1},
        {"a query with a second '?', then a request",
         {"GET /?location=Oslo?x HTTP/1.1\r\nX-A: 1\r\nX-B: 2\r\n\r\n" + next},
         0,
         "HTTP/1.1 200 OK",
         2},
        {"fault prefix while faults are off",
         {"GET /slow/5000/report/oslo-norway HTTP/1.1\r\nConnection: close\r\n\r\n"},
         0,
         "HTTP/1.1 404 Not Found",
         1},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(c.name);
      RawExchange exchange = rawExchange(port, c.pieces, c.pauseMs);
      const std::string& got = exchange.received;
      EXPECT_EQ(got.substr(0, got.find("\r\n")), c.statusLine);
      int answers = 0;
      for (std::size_t at = got.find("HTTP/1.1 "); at != std::string::npos;
           at = got.find("HTTP/1.1 ", at + 1))
        answers += at == 0 || got.compare(at - 8, 8, "</html>\n") == 0;
      EXPECT_EQ(answers, c.answers) << got;
      if (!got.empty()) {
        EXPECT_TRUE(got.ends_with("</html>\n")) << got;
      }
      if (c.answers == 1 && !got.empty()) {
        EXPECT_NE(got.find("Connection: close\r\n"), std::string::npos);
      }
      EXPECT_LT(exchange.took, std::chrono::milliseconds(2500));
    }
    // The next connection gets its own page.
    httplib::Client client("127.0.0.1", port);
    auto fine = client.Get("/report/oslo-norway");
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->status, 200);
  }
  // Every refusal is logged with its client, on one printable line of
  // bounded length.
  std::istringstream lines(log.str());
  int refusals = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LT(line.size(), 400u) << line;
    EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](unsigned char c) {
      return c < 0x20 || c >= 0x7f;
    })) << line;
    refusals += line.find(" 127.0.0.1 ") != std::string::npos &&
                line.find(" 200 ") == std::string::npos && line.find(" 404 ") == std::string::npos;
  }
  EXPECT_EQ(refusals, 9) << log.str();
}

}  // namespace
