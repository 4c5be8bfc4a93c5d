// The upstream call on Linux: httplib, with OpenSSL checking certificates
// against the system's store.

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "service/weather/upstream_http.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kIdleClients = 8;

}  // namespace

struct UpstreamHttp::Connections {
  std::string origin, userAgent;
  UpstreamTimeouts timeouts;
  std::mutex mutex;
  std::vector<std::unique_ptr<httplib::Client>> idle;  // kept-alive connections
  // Calls under way by their deadlines: one thread stops those past it,
  // however the server trickles its headers.
  std::condition_variable armedChanged;
  std::map<std::pair<Clock::time_point, std::uint64_t>, httplib::Client*> armed;
  std::uint64_t serial = 0;
  bool stopping = false;
  std::thread watchdog;

  void watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!stopping) {
      if (armed.empty()) {
        armedChanged.wait(lock);
        continue;
      }
      auto first = armed.begin();
      // A copy: the entry may go while this waits.
      Clock::time_point due = first->first.first;
      if (Clock::now() < due) {
        armedChanged.wait_until(lock, due);
        continue;
      }
      // Shuts the socket of the call in flight, which ends its reads at
      // once; the caller disarms it under the same lock, so it is still
      // alive here.
      first->second->stop();
      armed.erase(first);
    }
  }

  std::unique_ptr<httplib::Client> take() {
    {
      std::lock_guard<std::mutex> guard(mutex);
      if (!idle.empty()) {
        auto client = std::move(idle.back());
        idle.pop_back();
        return client;
      }
    }
    auto client = std::make_unique<httplib::Client>(origin);
    client->set_connection_timeout(std::chrono::milliseconds(timeouts.connectTimeoutMs));
    client->set_read_timeout(std::chrono::milliseconds(timeouts.readTimeoutMs));
    client->set_write_timeout(std::chrono::milliseconds(timeouts.readTimeoutMs));
    client->set_keep_alive(true);
    client->set_follow_location(false);
    client->set_decompress(false);
    client->set_url_encode(false);  // the target is escaped already
    // Certificates are checked against the system's store (OpenSSL's
    // default paths), which is what the library does unless told otherwise.
    client->enable_server_certificate_verification(true);
    return client;
  }

  void giveBack(std::unique_ptr<httplib::Client> client) {
    std::lock_guard<std::mutex> guard(mutex);
    if (idle.size() < kIdleClients) idle.push_back(std::move(client));
  }
};

UpstreamHttp::UpstreamHttp(std::string origin, std::string userAgent, UpstreamTimeouts timeouts)
    : connections_(std::make_unique<Connections>()) {
  connections_->origin = std::move(origin);
  connections_->userAgent = std::move(userAgent);
  connections_->timeouts = timeouts;
  connections_->watchdog = std::thread([pool = connections_.get()] { pool->watch(); });
}

UpstreamHttp::~UpstreamHttp() {
  {
    std::lock_guard<std::mutex> guard(connections_->mutex);
    connections_->stopping = true;
  }
  connections_->armedChanged.notify_all();
  connections_->watchdog.join();
}

UpstreamAnswer UpstreamHttp::get(const std::string& target, const char* accept,
                                 std::size_t maxBytes) {
  Connections& pool = *connections_;
  UpstreamAnswer answer;
  if (pool.origin.empty()) {
    answer.failure = "no upstream address";
    return answer;
  }
  auto client = pool.take();
  httplib::Headers headers{{"User-Agent", pool.userAgent}, {"Accept", accept}};
  // One deadline for the whole call: the per-read timeouts alone let a
  // server that sends a byte now and then hold the call without end.
  auto deadline = Clock::now() + std::chrono::milliseconds(std::max(1, pool.timeouts.deadlineMs));
  std::pair<Clock::time_point, std::uint64_t> armed{deadline, 0};
  {
    std::lock_guard<std::mutex> guard(pool.mutex);
    armed.second = ++pool.serial;
    pool.armed.emplace(armed, client.get());
  }
  pool.armedChanged.notify_all();
  bool tooLong = false;
  auto result = client->Get(target, headers, [&](const char* data, std::size_t length) {
    if (answer.body.size() + length > maxBytes) {
      tooLong = true;
      return false;
    }
    answer.body.append(data, length);
    return true;
  });
  bool late = false;
  {
    std::lock_guard<std::mutex> guard(pool.mutex);
    // Gone from the list when the watchdog stopped the call.
    late = pool.armed.erase(armed) == 0;
  }
  if (!result || tooLong || late || Clock::now() > deadline) {
    answer.failure = tooLong ? "answer too large"
                     : late || !result
                         ? "no answer in time: " +
                               (result ? std::string("late") : httplib::to_string(result.error()))
                         : "answer too slow";
    answer.body.clear();
    return answer;  // the connection may be in any state: not reused
  }
  answer.status = result->status;
  answer.retryAfter = result->get_header_value("Retry-After");
  answer.cacheControl = result->get_header_value("Cache-Control");
  answer.expires = result->get_header_value("Expires");
  pool.giveBack(std::move(client));
  return answer;
}
