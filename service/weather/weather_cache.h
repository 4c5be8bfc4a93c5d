#pragma once
// Live readings by place: fresh ones are served from memory, concurrent
// requests for one place share one upstream call, and when the upstream
// fails the last good reading is served for a while.

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "service/weather/call_budget.h"
#include "service/weather/open_meteo_client.h"

struct CacheTimes {
  Millis fresh = 10 * 60'000;     // the source itself updates every 15 minutes
  Millis stale = 3 * 3'600'000;   // the longest a reading stands in for a failed call
  Millis retry = 30'000;          // after a failed call, the place waits this long to ask again
  Millis wait = 10'000;           // the longest a request waits for another's call
  std::size_t maxPlaces = 20000;  // readings kept at most
};

enum class Served { Fresh, Fetched, Stale, Unavailable };

struct Lookup {
  Served how = Served::Unavailable;
  std::optional<Reading> reading;
  Millis fetchedAt = 0;  // when the reading came from the upstream, on the cache's clock
};

struct CacheStats {
  std::size_t places = 0;
  long long lookups = 0, fresh = 0, stale = 0, unavailable = 0;
  long long upstreamCalls = 0, upstreamFailures = 0, budgetRefusals = 0;
};

class WeatherCache {
 public:
  using Fetch = std::function<UpstreamResult(double latitude, double longitude)>;

  WeatherCache(Fetch fetch, CallBudget& budget, std::function<Millis()> clock,
               CacheTimes times = {});

  Lookup get(double latitude, double longitude);
  CacheStats stats();
  Millis now() const { return clock_(); }

 private:
  struct Entry {
    std::optional<Reading> reading;
    Millis fetchedAt = 0;
    Millis retryAfter = 0;
    bool inFlight = false;
  };
  Lookup fallback(const Entry& entry, Millis now);
  void makeRoom(Millis now);

  Fetch fetch_;
  CallBudget& budget_;
  std::function<Millis()> clock_;
  CacheTimes times_;
  std::mutex mutex_;
  std::condition_variable landed_;  // a call in flight has ended
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries_;
  CacheStats stats_;
};
