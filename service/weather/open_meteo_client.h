#pragma once
// Current conditions from an Open-Meteo forecast server.

#include <string>

#include "service/weather/open_meteo_answer.h"
#include "service/weather/upstream_http.h"

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

  UpstreamResult fetch(double latitude, double longitude);

 private:
  UpstreamConfig config_;
  std::string basePath_;
  UpstreamHttp http_;
};
