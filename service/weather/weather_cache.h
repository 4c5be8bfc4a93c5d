#pragma once
// Live readings by place: fresh ones are served from memory; a reading past
// its freshness is served at once while a bounded pool of workers refreshes
// it; only a place with no reading makes its request wait for the upstream,
// and then concurrent requests for it share one call. An upstream that
// refuses (429) or keeps failing itself (no answer, 5xx) is left alone for a
// while, then one probe call decides whether it is back; an answer that is
// wrong about one place only keeps that place waiting. Each client may cause
// only so many calls.

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "service/weather/recently_read.h"
#include "service/worker_pool.h"
#include "service/weather/client_limits.h"
#include "service/weather/call_budget.h"
#include "service/weather/open_meteo_client.h"

struct CacheTimes {
  Millis fresh = 10 * 60'000;      // the source itself updates every 15 minutes
  Millis stale = 3 * 3'600'000;    // the longest a reading stands in for a fresh one
  Millis retry = 30'000;           // after a failed call, the place waits this long to ask again
  Millis placeRetry = 5 * 60'000;  // ...after an answer that fails for this place alone
  Millis wait = 10'000;            // the longest a request waits for another's call
  std::size_t maxPlaces = 20000;   // readings kept at most
  int pauseAfterFailures = 5;      // the upstream's own failures in a row that pause all calls...
  Millis pause = 60'000;           // ...for this long, doubled after each failed probe...
  Millis maxPause = 15 * 60'000;   // ...up to this
  int maxWaiting = 32;             // requests waiting on the upstream at once; more are unavailable
  Millis maxRetryAfter = 10 * 60'000;  // an upstream's Retry-After is honoured up to this
  Millis retryAfterDefault = 60'000;   // a 429 that says nothing of when to come back
  int refreshWorkers = 2;              // threads at most that refresh readings past their freshness
  std::size_t refreshQueue = 1024;     // refreshes waiting at most; more are skipped
};

enum class Served { Fresh, Fetched, Stale, Unavailable };

struct Lookup {
  Served how = Served::Unavailable;
  std::optional<Reading> reading;
  Millis fetchedAt = 0;  // when the reading came from the upstream, on the cache's clock
  Millis keepFor = 0;    // how long a cache in front may keep this answer
};

struct CacheStats {
  std::size_t places = 0;
  long long lookups = 0, fresh = 0, stale = 0, unavailable = 0;
  long long upstreamCalls = 0, upstreamFailures = 0, budgetRefusals = 0;
  long long refreshes = 0, pauses = 0, clientRefusals = 0;
};

class WeatherCache {
 public:
  using Fetch = std::function<UpstreamResult(double latitude, double longitude)>;

  // `clients`, when given, holds each client to its share of calls and of
  // requests waiting on the upstream.
  WeatherCache(Fetch fetch, CallBudget& budget, std::function<Millis()> clock,
               CacheTimes times = {}, ClientLimits* clients = nullptr);
  ~WeatherCache();

  // `client` is who asks ("" for no one in particular).
  Lookup get(double latitude, double longitude, const std::string& client = {});
  CacheStats stats();
  Millis now() const { return clock_(); }

 private:
  struct Entry {
    std::string key;
    double latitude = 0, longitude = 0;
    std::optional<Reading> reading;
    Millis fetchedAt = 0;
    Millis retryAfter = 0;
    bool inFlight = false;
    bool probe = false;  // its call decides whether the paused upstream is back
  };

  Lookup fallback(const Entry& entry, Millis now);
  Lookup served(Served how, const Entry& entry, Millis now);
  // Whether a call for `entry` may go out now, and if so takes its tokens.
  bool admit(Entry& entry, Millis now, const std::string& client);
  // Takes a call's result; whether it brought a reading.
  bool land(Entry& entry, UpstreamResult result);
  UpstreamResult call(const Entry& entry);
  void refreshOne();

  Fetch fetch_;
  CallBudget& budget_;
  std::function<Millis()> clock_;
  CacheTimes times_;
  ClientLimits* clients_;
  std::mutex mutex_;
  std::condition_variable landed_;  // a call in flight has ended
  RecentlyRead<Entry> entries_;
  Millis pausedUntil_ = 0;  // no calls before this
  int failuresInRow_ = 0;
  bool tripped_ = false;  // paused for failures: one probe at a time until a call succeeds
  bool probing_ = false;  // that probe is in flight
  Millis nextPause_ = 0;  // the pause after a failed probe
  int waiting_ = 0;       // requests waiting on the upstream
  std::deque<std::shared_ptr<Entry>> refreshes_;
  bool stopping_ = false;
  CacheStats stats_;
  WorkerPool refreshers_;
};
