#include "service/weather/weather_cache.h"

#include <cmath>
#include <cstdio>

namespace {

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
                           CacheTimes times)
    : fetch_(std::move(fetch)), budget_(budget), clock_(std::move(clock)), times_(times) {}

Lookup WeatherCache::fallback(const Entry& entry, Millis now) {
  if (entry.reading && now - entry.fetchedAt <= times_.stale) {
    ++stats_.stale;
    return {Served::Stale, entry.reading, entry.fetchedAt};
  }
  ++stats_.unavailable;
  return {};
}

// Drops readings too old to serve, then the oldest, so that a flood of
// places cannot grow the memory without end.
void WeatherCache::makeRoom(Millis now) {
  if (entries_.size() < times_.maxPlaces) return;
  for (auto it = entries_.begin(); it != entries_.end();) {
    const Entry& entry = *it->second;
    bool useless = !entry.inFlight && (!entry.reading || now - entry.fetchedAt > times_.stale);
    it = useless ? entries_.erase(it) : std::next(it);
  }
  while (entries_.size() >= times_.maxPlaces) {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->second->inFlight) continue;
      if (oldest == entries_.end() || it->second->fetchedAt < oldest->second->fetchedAt)
        oldest = it;
    }
    if (oldest == entries_.end()) return;  // all in flight; they are few
    entries_.erase(oldest);
  }
}

Lookup WeatherCache::get(double latitude, double longitude) {
  std::string key = coordinateKey(latitude, longitude);
  std::unique_lock<std::mutex> lock(mutex_);
  ++stats_.lookups;
  auto found = entries_.find(key);
  if (found == entries_.end()) {
    makeRoom(clock_());
    found = entries_.emplace(key, std::make_shared<Entry>()).first;
  }
  std::shared_ptr<Entry> entry = found->second;  // kept alive even if evicted meanwhile

  // One call per place at a time: the others wait for it, but not forever.
  if (entry->inFlight && !landed_.wait_for(lock, std::chrono::milliseconds(times_.wait),
                                           [&] { return !entry->inFlight; }))
    return fallback(*entry, clock_());
  Millis now = clock_();
  if (entry->reading && now - entry->fetchedAt < times_.fresh) {
    ++stats_.fresh;
    return {Served::Fresh, entry->reading, entry->fetchedAt};
  }
  if (now < entry->retryAfter) return fallback(*entry, now);

  entry->inFlight = true;
  lock.unlock();
  bool allowed = budget_.trySpend(now);
  UpstreamResult result;
  if (allowed) {
    try {
      result = fetch_(latitude, longitude);
    } catch (...) {
      result = {std::nullopt, "upstream call failed"};
    }
  }
  lock.lock();
  entry->inFlight = false;
  landed_.notify_all();
  now = clock_();
  if (allowed) ++stats_.upstreamCalls;
  if (result.reading) {
    entry->reading = result.reading;
    entry->fetchedAt = now;
    return {Served::Fetched, entry->reading, now};
  }
  ++(allowed ? stats_.upstreamFailures : stats_.budgetRefusals);
  entry->retryAfter = now + times_.retry;
  return fallback(*entry, now);
}

CacheStats WeatherCache::stats() {
  std::lock_guard<std::mutex> guard(mutex_);
  CacheStats stats = stats_;
  stats.places = entries_.size();
  return stats;
}
