#pragma once
// Current conditions from an Open-Meteo forecast server over HTTP(S), with a
// small pool of keep-alive clients.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace httplib {
class Client;
}

#include "service/weather/open_meteo_answer.h"

struct UpstreamConfig {
  std::string baseUrl = "https://api.open-meteo.com";  // scheme, host, port, optional path
  std::string apiKey;                                  // sent as "apikey" when set
  int connectTimeoutMs = 3000;
  int readTimeoutMs = 5000;
  int deadlineMs = 8000;  // the whole call: connect, headers and body
  std::string userAgent;
};

class OpenMeteoClient {
 public:
  explicit OpenMeteoClient(UpstreamConfig config);  // config.baseUrl must split
  ~OpenMeteoClient();

  UpstreamResult fetch(double latitude, double longitude);

 private:
  std::unique_ptr<httplib::Client> take();
  void giveBack(std::unique_ptr<httplib::Client> client);

  void watch();

  UpstreamConfig config_;
  std::string origin_, basePath_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<httplib::Client>> idle_;  // kept-alive connections
  // Calls under way by their deadlines: one thread stops those past it,
  // however the server trickles its headers.
  std::condition_variable armedChanged_;
  std::map<std::pair<std::chrono::steady_clock::time_point, std::uint64_t>, httplib::Client*>
      armed_;
  std::uint64_t serial_ = 0;
  bool stopping_ = false;
  std::thread watchdog_;
};
