#include "service/weather/weather_cache.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

namespace {

// How long a front cache may keep a reading served while it is refreshed:
// long enough to spare the service a burst, short enough to pick up the
// refresh soon after it lands.
constexpr Millis kWhileRefreshing = 5'000;

// "51.5074,-0.1278": the coordinates to 4 decimals (about 11 m), so that the
// same place written two ways is one key.
std::string coordinateKey(double latitude, double longitude) {
  // Rounded first, so that -0.00001 and 0.00001 are both "0.0000".
  auto fixed = [](double value) {
    double rounded = std::round(value * 10000) / 10000;
    return rounded == 0 ? 0.0 : rounded;
  };
  char key[64];
  std::snprintf(key, sizeof key, "%.4f,%.4f", fixed(latitude), fixed(longitude));
  return key;
}

}  // namespace

WeatherCache::WeatherCache(Fetch fetch, CallBudget& budget, std::function<Millis()> clock,
                           CacheTimes times, ClientLimits* clients)
    : fetch_(std::move(fetch)),
      budget_(budget),
      clock_(std::move(clock)),
      times_(times),
      clients_(clients),
      refreshers_(times_.refreshWorkers) {}

WeatherCache::~WeatherCache() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stopping_ = true;
  }
  refreshers_.shutdown();
}

Lookup WeatherCache::served(Served how, const Entry& entry, Millis now) {
  Lookup found{how, entry.reading, entry.fetchedAt, 0};
  if (how == Served::Fresh || how == Served::Fetched) {
    found.keepFor = std::max<Millis>(0, entry.fetchedAt + times_.fresh - now);
  } else {
    // Until the place may be asked for again, but briefly.
    Millis next = std::max({entry.retryAfter, pausedUntil_, now}) - now;
    found.keepFor = entry.inFlight ? kWhileRefreshing : std::clamp<Millis>(next, 1'000, 60'000);
  }
  return found;
}

Lookup WeatherCache::fallback(const Entry& entry, Millis now) {
  if (entry.reading && now - entry.fetchedAt <= times_.stale) {
    ++stats_.stale;
    return served(Served::Stale, entry, now);
  }
  ++stats_.unavailable;
  return {};
}

bool WeatherCache::admit(Entry& entry, Millis now, const std::string& client) {
  if (entry.inFlight || now < entry.retryAfter || now < pausedUntil_) return false;
  if (tripped_ && probing_) return false;
  if (clients_ && !client.empty() && !clients_->trySpendCall(client, now)) {
    ++stats_.clientRefusals;
    return false;
  }
  // A place that has a reading is being read: its refresh may use the share
  // of the budget that new places leave.
  if (!budget_.trySpend(now, entry.reading.has_value())) {
    ++stats_.budgetRefusals;
    entry.retryAfter = now + times_.retry;
    return false;
  }
  entry.inFlight = true;
  entry.probe = tripped_;
  probing_ = tripped_;
  return true;
}

UpstreamResult WeatherCache::call(const Entry& entry) {
  try {
    return fetch_(entry.latitude, entry.longitude);
  } catch (...) {
    return {std::nullopt, "upstream call failed"};
  }
}

bool WeatherCache::land(Entry& entry, UpstreamResult result) {
  Millis now = clock_();
  entry.inFlight = false;
  bool probe = std::exchange(entry.probe, false);
  if (probe) probing_ = false;
  landed_.notify_all();
  ++stats_.upstreamCalls;
  result = currentAt(std::move(result), now / 1000);
  bool told = result.status == 429 || (result.status == 503 && result.retryAfterS >= 0);
  bool upstreamFailed = !told && (result.status == 0 || result.status >= 500);
  if (result.reading || (!told && !upstreamFailed && probe)) {
    // The upstream answered: whatever paused it is over.
    failuresInRow_ = 0;
    tripped_ = false;
    nextPause_ = times_.pause;
  }
  if (result.reading) {
    entry.reading = result.reading;
    entry.fetchedAt = now;
    return true;
  }
  ++stats_.upstreamFailures;
  if (!told && !upstreamFailed) {
    // An answer about this place (not found, out of coverage, a reading
    // that is not current): this place waits, every other goes on.
    entry.retryAfter = now + times_.placeRetry;
    return false;
  }
  entry.retryAfter = now + times_.retry;
  // Told to come back later, or down again and again: leave the upstream
  // alone for a while rather than spend the budget on more failures.
  Millis pause = 0;
  if (told) {
    pause = result.retryAfterS >= 0 ? Millis(result.retryAfterS) * 1000 : times_.retryAfterDefault;
    pause = std::clamp<Millis>(pause, 1'000, times_.maxRetryAfter);
  } else if (probe) {
    pause = nextPause_;
    nextPause_ = std::min(times_.maxPause, nextPause_ * 2);
  } else if (!tripped_ && ++failuresInRow_ >= times_.pauseAfterFailures) {
    tripped_ = true;
    pause = times_.pause;
    nextPause_ = std::min(times_.maxPause, times_.pause * 2);
  }
  if (pause > 0) {
    pausedUntil_ = std::max(pausedUntil_, now + pause);
    ++stats_.pauses;
  }
  return false;
}

void WeatherCache::refreshOne() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || refreshes_.empty()) return;
  std::shared_ptr<Entry> entry = std::move(refreshes_.front());
  refreshes_.pop_front();
  lock.unlock();
  UpstreamResult result = call(*entry);
  lock.lock();
  land(*entry, std::move(result));
}

Lookup WeatherCache::get(double latitude, double longitude, const std::string& client) {
  std::string key = coordinateKey(latitude, longitude);
  std::unique_lock<std::mutex> lock(mutex_);
  ++stats_.lookups;
  std::shared_ptr<Entry> entry = entries_.touch(key, times_.maxPlaces, [&] {
    auto made = std::make_shared<Entry>();
    made->key = key;
    made->latitude = latitude;
    made->longitude = longitude;
    return made;
  });

  Millis now = clock_();
  if (entry->reading && now - entry->fetchedAt < times_.fresh) {
    ++stats_.fresh;
    return served(Served::Fresh, *entry, now);
  }
  if (entry->reading && now - entry->fetchedAt <= times_.stale) {
    // Served at once; the refresh happens behind it, unless the queue is full.
    if (refreshes_.size() < times_.refreshQueue && admit(*entry, now, client)) {
      refreshes_.push_back(entry);
      ++stats_.refreshes;
      refreshers_.run([this] { refreshOne(); });
    }
    return fallback(*entry, now);
  }

  // No reading to serve: this request waits for the upstream, within the
  // client's share of waiting requests.
  bool held = clients_ && !client.empty();
  if (held && !clients_->tryHold(ClientLimits::Waiting, client)) {
    ++stats_.clientRefusals;
    return fallback(*entry, now);
  }
  // Waiting requests hold workers: past a share of them, no more wait.
  if (waiting_ >= std::max(1, times_.maxWaiting)) {
    if (held) clients_->release(ClientLimits::Waiting, client);
    return fallback(*entry, now);
  }
  ++waiting_;
  Lookup answer;
  if (entry->inFlight) {
    // One call per place at a time: the others wait for it, but not forever.
    landed_.wait_for(lock, std::chrono::milliseconds(times_.wait),
                     [&] { return !entry->inFlight; });
    now = clock_();
    answer = entry->reading && now - entry->fetchedAt < times_.fresh
                 ? (++stats_.fresh, served(Served::Fresh, *entry, now))
                 : fallback(*entry, now);
  } else if (admit(*entry, now, client)) {
    lock.unlock();
    UpstreamResult result = call(*entry);
    lock.lock();
    answer = land(*entry, std::move(result)) ? served(Served::Fetched, *entry, clock_())
                                             : fallback(*entry, now);
  } else {
    answer = fallback(*entry, now);
  }
  --waiting_;
  if (held) clients_->release(ClientLimits::Waiting, client);
  return answer;
}

CacheStats WeatherCache::stats() {
  std::lock_guard<std::mutex> guard(mutex_);
  CacheStats stats = stats_;
  stats.places = entries_.size();
  return stats;
}
