#include "service/weather/open_meteo_client.h"

#include <optional>
#include <utility>

namespace {

std::pair<std::string, std::string> originAndPath(const std::string& baseUrl) {
  return splitBaseUrl(baseUrl).value_or(std::pair<std::string, std::string>{});
}

// Retry-After as a number of seconds; the date form is taken as absent.
int retryAfterSeconds(const std::string& value) {
  if (value.empty() || value.size() > 9) return -1;
  int seconds = 0;
  for (char c : value) {
    if (c < '0' || c > '9') return -1;
    seconds = seconds * 10 + (c - '0');
  }
  return seconds;
}

}  // namespace

OpenMeteoClient::OpenMeteoClient(UpstreamConfig config)
    : config_(std::move(config)),
      basePath_(originAndPath(config_.baseUrl).second),
      http_(originAndPath(config_.baseUrl).first, config_.userAgent,
            {config_.connectTimeoutMs, config_.readTimeoutMs, config_.deadlineMs}) {}

UpstreamResult OpenMeteoClient::fetch(double latitude, double longitude) {
  UpstreamAnswer answer = http_.get(basePath_ + forecastTarget(latitude, longitude, config_.apiKey),
                                    "application/json", kMaxForecastBytes);
  if (!answer.failure.empty()) return {std::nullopt, answer.failure};
  UpstreamResult parsed = parseForecast(answer.status, answer.body);
  parsed.status = answer.status;
  parsed.retryAfterS = retryAfterSeconds(answer.retryAfter);
  return parsed;
}
