#include "service/weather/open_meteo_client.h"

#include <httplib.h>

#include <algorithm>
#include <tuple>

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kIdleClients = 8;

UpstreamResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

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

OpenMeteoClient::OpenMeteoClient(UpstreamConfig config) : config_(std::move(config)) {
  auto parts = splitBaseUrl(config_.baseUrl);
  if (parts) std::tie(origin_, basePath_) = *parts;
  watchdog_ = std::thread([this] { watch(); });
}

OpenMeteoClient::~OpenMeteoClient() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stopping_ = true;
  }
  armedChanged_.notify_all();
  watchdog_.join();
}

void OpenMeteoClient::watch() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (armed_.empty()) {
      armedChanged_.wait(lock);
      continue;
    }
    auto first = armed_.begin();
    // A copy: the entry may go while this waits.
    Clock::time_point due = first->first.first;
    if (Clock::now() < due) {
      armedChanged_.wait_until(lock, due);
      continue;
    }
    // Shuts the socket of the call in flight, which ends its reads at once;
    // the caller disarms it under the same lock, so it is still alive here.
    first->second->stop();
    armed_.erase(first);
  }
}

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
  // One deadline for the whole call: the per-read timeouts alone let a
  // server that sends a byte now and then hold the call without end.
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max(1, config_.deadlineMs));
  std::pair<Clock::time_point, std::uint64_t> armed{deadline, 0};
  {
    std::lock_guard<std::mutex> guard(mutex_);
    armed.second = ++serial_;
    armed_.emplace(armed, client.get());
  }
  armedChanged_.notify_all();
  std::string body;
  bool tooLong = false;
  auto result = client->Get(basePath_ + forecastTarget(latitude, longitude, config_.apiKey),
                            headers, [&](const char* data, std::size_t length) {
                              if (body.size() + length > kMaxForecastBytes) {
                                tooLong = true;
                                return false;
                              }
                              body.append(data, length);
                              return true;
                            });
  bool late = false;
  {
    std::lock_guard<std::mutex> guard(mutex_);
    // Gone from the list when the watchdog stopped the call.
    late = armed_.erase(armed) == 0;
  }
  if (!result || tooLong || late || Clock::now() > deadline) {
    std::string why = tooLong ? "answer too large"
                      : late || !result
                          ? "no answer in time: " +
                                (result ? std::string("late") : httplib::to_string(result.error()))
                          : "answer too slow";
    return failure(why);  // the connection may be in any state: not reused
  }
  int status = result->status;
  int retryAfter = retryAfterSeconds(result->get_header_value("Retry-After"));
  giveBack(std::move(client));
  UpstreamResult parsed = parseForecast(status, body);
  parsed.status = status;
  parsed.retryAfterS = retryAfter;
  return parsed;
}
