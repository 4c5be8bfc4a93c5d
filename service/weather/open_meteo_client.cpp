#include "service/weather/open_meteo_client.h"

#include <httplib.h>

#include <chrono>
#include <tuple>

namespace {

constexpr std::size_t kIdleClients = 8;

UpstreamResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

}  // namespace

OpenMeteoClient::OpenMeteoClient(UpstreamConfig config) : config_(std::move(config)) {
  auto parts = splitBaseUrl(config_.baseUrl);
  if (parts) std::tie(origin_, basePath_) = *parts;
}

OpenMeteoClient::~OpenMeteoClient() = default;

std::unique_ptr<httplib::Client> OpenMeteoClient::take() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    if (!idle_.empty()) {
      auto client = std::move(idle_.back());
      idle_.pop_back();
      return client;
    }
  }
  auto client = std::make_unique<httplib::Client>(origin_);
  client->set_connection_timeout(std::chrono::milliseconds(config_.connectTimeoutMs));
  client->set_read_timeout(std::chrono::milliseconds(config_.readTimeoutMs));
  client->set_write_timeout(std::chrono::milliseconds(config_.readTimeoutMs));
  client->set_keep_alive(true);
  client->set_follow_location(false);
  client->set_decompress(false);
  client->set_url_encode(false);  // the target is escaped already
  // Certificates are checked against the system's store (OpenSSL's default
  // paths), which is what the library does unless told otherwise.
  client->enable_server_certificate_verification(true);
  return client;
}

void OpenMeteoClient::giveBack(std::unique_ptr<httplib::Client> client) {
  std::lock_guard<std::mutex> guard(mutex_);
  if (idle_.size() < kIdleClients) idle_.push_back(std::move(client));
}

UpstreamResult OpenMeteoClient::fetch(double latitude, double longitude) {
  if (origin_.empty()) return failure("no upstream address");
  auto client = take();
  httplib::Headers headers{{"User-Agent", config_.userAgent}, {"Accept", "application/json"}};
  // The read timeout holds for each read; a server that trickles its answer
  // is cut off at the whole deadline too.
  auto deadline = std::chrono::steady_clock::now() +
                  std::chrono::milliseconds(config_.connectTimeoutMs + config_.readTimeoutMs);
  std::string body;
  bool tooLong = false;
  auto result = client->Get(basePath_ + forecastTarget(latitude, longitude, config_.apiKey),
                            headers, [&](const char* data, std::size_t length) {
                              if (body.size() + length > kMaxForecastBytes ||
                                  std::chrono::steady_clock::now() > deadline) {
                                tooLong = true;
                                return false;
                              }
                              body.append(data, length);
                              return true;
                            });
  if (!result || tooLong) {
    std::string why = tooLong ? "answer too large or too slow"
                              : "no answer: " + httplib::to_string(result.error());
    return failure(why);  // the connection may be in any state: not reused
  }
  int status = result->status;
  giveBack(std::move(client));
  return parseForecast(status, body);
}
