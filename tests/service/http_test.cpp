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

#include "poll.h"
#include "service/http/hardened_server.h"
#include "service/http/handlers.h"
#include "service/places/sample_places.h"
#include "service/places/world_source.h"
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
  ServiceSetup setup;
  setup.source = sampleSource(data.places);
  setup.clock = [now] { return now; };
  setup.log = &log;
  setup.faultPrefixes = true;
  installHandlers(server, setup);
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

int connectFrom(int port, const char* source) {
  int sock = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in from{};
  from.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  bind(sock, reinterpret_cast<sockaddr*>(&from), sizeof from);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(std::uint16_t(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(sock);
    return -1;
  }
  return sock;
}

RawExchange rawExchange(int port, const std::vector<std::string>& pieces, int pauseMs,
                        const char* source = "127.0.0.1") {
  auto start = std::chrono::steady_clock::now();
  RawExchange exchange;
  int sock = connectFrom(port, source);
  if (sock >= 0) {
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
  ServiceSetup setup;
  setup.source = sampleSource(data.places);
  setup.clock = [] { return UnixTime(1768485600); };
  setup.log = &log;
  installHandlers(server, setup);
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
        // A request carries no body: one that would is answered once and its
        // connection closed, so what it carries is never taken for a request.
        {"a body that is a request",
         {"GET /?location=paris HTTP/1.1\r\nContent-Length: 31\r\n\r\n"
          "GET /report/oslo-norway HTTP/1.1\r\n\r\n" +
          next},
         0,
         "HTTP/1.1 413 Payload Too Large",
         1},
        {"chunked",
         {"GET / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"two lengths",
         {"GET / HTTP/1.1\r\nContent-Length: 0\r\ncontent-length: 0\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a length and chunks",
         {"GET / HTTP/1.1\r\nContent-Length: 5\r\ntransfer-encoding: chunked\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a length that is no number",
         {"GET / HTTP/1.1\r\nContent-Length: +0\r\n\r\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"bare line feeds",
         {"GET / HTTP/1.1\nHost: a\n\n" + next},
         0,
         "HTTP/1.1 400 Bad Request",
         1},
        {"a length of 0, then a request",
         {"GET /report/oslo-norway HTTP/1.1\r\nContent-Length: 0\r\n\r\n" + next},
         0,
         "HTTP/1.1 200 OK",
         2},
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
  EXPECT_EQ(refusals, 15) << log.str();
}

// A report link answers only in the form the service writes; any other
// form of a known place is sent there for good, other coordinates are not
// found, and the program's own direct-hit links still answer.
TEST(Http, ReportLinksHaveOneForm) {
  Gazetteer world = loadGazetteer(SKYVANE_TEST_DATA "/world_extract.tsv");
  ASSERT_TRUE(world.error.empty()) << world.error;
  httplib::Server server;
  ServiceSetup setup;
  setup.source = worldSource(world);
  setup.clock = [] { return UnixTime(1768485600); };
  installHandlers(server, setup);
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  Running running{server, std::thread([&] { server.listen_after_bind(); })};
  httplib::Client client("127.0.0.1", port);
  client.set_url_encode(false);

  const std::string sanDiego = "/report/32.7157,-117.1647/San_Diego,_CA";
  const std::string zip = "/report/40.7507,-73.9973/New_York_City,_NY_10001";
  struct Case {
    std::string link;
    int status;
    std::string location;  // of a redirect
  };
  const Case cases[] = {
      {sanDiego, 200, ""},
      {zip, 200, ""},
      {"/San_Diego,_CA", 200, ""},
      {"/10001", 200, ""},
      {sanDiego + "?utm=1", 301, sanDiego},
      {sanDiego + "?", 200, ""},
      {"/report/32.71570,-117.1647/San_Diego,_CA", 301, sanDiego},
      {"/report/32.71571,-117.16472/San_Diego,_CA", 301, sanDiego},
      {"/report/32.7157,-117.16470/San_Diego,_CA", 301, sanDiego},
      {"/report/32.7157,-117.1647/San_Diego", 301, sanDiego},
      {"/report/32.7157,-117.1647/Somewhere_Else,_XX", 301, sanDiego},
      {"/report/32.7157,-117.1647/", 301, sanDiego},
      {"/report/40.75065,-73.99729/New_York_City,_NY_10001", 301, zip},
      // A name a results page gives a town to tell it from its namesakes.
      {"/report/41.8051,-80.9481/Geneva,_Ashtabula_County,_OH", 200, ""},
      {"/report/41.8051,-80.9481/Geneva,_Any_County,_OH", 301,
       "/report/41.8051,-80.9481/Geneva,_OH"},
      {"/report/0.0001,0.0001/Nowhere", 404, ""},
      {"/report/32.7158,-117.1647/San_Diego,_CA", 404, ""},
      {"/report/32.7157;-117.1647/San_Diego,_CA", 404, ""},
      {"/report/1e1,2/X", 404, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    auto answer = client.Get(c.link);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, c.status);
    EXPECT_EQ(answer->get_header_value("Location"), c.location);
    if (c.status != 200) {
      EXPECT_EQ(answer->get_header_value("Cache-Control"), "no-store");
    }
  }
}

// A client directly connected holds only its share of the workers, however
// many connections it opens; others are served meanwhile. The service's
// state answers only loopback and trusted proxies, not a client behind them.
TEST(Http, AClientHoldsOnlyItsShare) {
  PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  ServerLimits limits;
  limits.workers = 4;
  HardenedServer server(limits);
  ClientLimitSettings shares;
  shares.connections = 2;
  shares.trustedProxies = {"127.0.0.3"};
  ClientLimits clients(shares);
  server.guard(&clients, nullptr);
  ServiceSetup setup;
  setup.source = sampleSource(data.places);
  setup.clock = [] { return UnixTime(1768485600); };
  setup.clients = &clients;
  installHandlers(server, setup);
  int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  Running running{server, std::thread([&] { server.listen_after_bind(); })};

  // Two silent connections of 127.0.0.2 take its network's share...
  int held[2] = {connectFrom(port, "127.0.0.2"), connectFrom(port, "127.0.0.2")};
  auto shareTaken = [&] {
    if (!clients.tryHold(ClientLimits::Connection, "127.0.0.2", false)) return true;
    clients.release(ClientLimits::Connection, "127.0.0.2");
    return false;
  };
  ASSERT_TRUE(pollUntil(shareTaken));
  // ...a newcomer of the network waits for the place of one whose head is
  // overdue, and meanwhile any other is turned away at once.
  const std::string get = "GET /report/oslo-norway HTTP/1.1\r\nConnection: close\r\n\r\n";
  RawExchange third;
  std::thread waiting([&] { third = rawExchange(port, {get}, 0, "127.0.0.5"); });
  pollUntil([&] { return clients.holds(ClientLimits::ConnectionWanted, "127.0.0.5"); });
  RawExchange fourth = rawExchange(port, {get}, 0, "127.0.0.4");
  waiting.join();

  EXPECT_TRUE(fourth.received.starts_with("HTTP/1.1 503")) << fourth.received;
  EXPECT_LT(fourth.took, std::chrono::milliseconds(1000));
  EXPECT_TRUE(third.received.starts_with("HTTP/1.1 200")) << third.received;
  EXPECT_EQ(clients.stats().connectionRefusals, 1);
  // Another network is another client.
  EXPECT_TRUE(rawExchange(port, {get}, 0, "127.0.1.4").received.starts_with("HTTP/1.1 200"));
  for (int sock : held) close(sock);

  struct Case {
    const char* source;
    const char* forwardedFor;
    const char* statusLine;
  };
  const Case cases[] = {
      {"127.0.1.1", "", "HTTP/1.1 200 OK"},
      {"127.0.0.3", "", "HTTP/1.1 200 OK"},
      {"127.0.0.3", "127.0.0.1, 203.0.113.5", "HTTP/1.1 404 Not Found"},
      {"127.0.0.3", "127.0.0.1", "HTTP/1.1 200 OK"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.source) + " for " + c.forwardedFor);
    std::string request = "GET /healthz HTTP/1.1\r\nConnection: close\r\n";
    if (*c.forwardedFor) request += "X-Forwarded-For: " + std::string(c.forwardedFor) + "\r\n";
    std::string got = rawExchange(port, {request + "\r\n"}, 0, c.source).received;
    EXPECT_EQ(got.substr(0, got.find("\r\n")), c.statusLine);
  }
}

}  // namespace
