#pragma once
// The alerts of a place, from the one source that covers it, held per place
// for a few minutes. A call runs on a worker of the cache's own: a request
// waits for it only briefly, so a slow or failing source never holds up the
// weather; concurrent requests for a place share one call, and each source
// has a budget of its own.

#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "service/weather/recently_read.h"
#include "service/worker_pool.h"
#include "service/alerts/alert.h"
#include "service/places/place.h"
#include "service/weather/call_budget.h"

// One source of alerts, for the places it covers.
struct AlertSource {
  std::string name;    // for the log and the health page
  std::string credit;  // HTML, shown beside its alerts as its terms word it
  std::function<bool(const Place& place)> covers;
  // Seconds since 1970 UTC, for telling alerts that have ended.
  std::function<AlertsFetched(double latitude, double longitude, std::int64_t now)> fetch;
  BudgetLimits budget;
};

struct AlertsTimes {
  Millis fresh = 5 * 60'000;      // an answer is asked for again after this...
  Millis longest = 60 * 60'000;   // ...or after what the source's headers say, up to this
  Millis stale = 30 * 60'000;     // an older answer stands in while a new one is fetched
  Millis retry = 60'000;          // after a failed call, the place waits this long
  std::size_t maxPlaces = 20000;  // answers kept at most
  int workers = 2;                // threads at most that call the sources
  std::size_t queue = 256;        // calls waiting at most; more are skipped
};

struct AlertsLookup {
  const AlertSource* source = nullptr;  // none: no source covers the place, and none was asked
  bool answered = false;                // the source's answer is at hand
  std::vector<WeatherAlert> alerts;     // in force, the most severe first
  Millis keepFor = 0;                   // how long a cache in front may keep a page of it
};

struct AlertsStats {
  long long lookups = 0, calls = 0, failures = 0, budgetRefusals = 0, notCovered = 0;
};

class AlertsCache {
 public:
  AlertsCache(std::vector<AlertSource> sources, std::function<Millis()> clock,
              AlertsTimes times = {});
  ~AlertsCache();
  AlertsCache(const AlertsCache&) = delete;
  AlertsCache& operator=(const AlertsCache&) = delete;

  // The alerts for `place`; a call is started when due, and waited for at
  // most `waitMs`.
  AlertsLookup get(const Place& place, Millis waitMs);
  AlertsStats stats();

 private:
  struct Entry {
    std::string key;
    std::size_t source = 0;
    double latitude = 0, longitude = 0;
    bool answered = false;
    std::vector<WeatherAlert> alerts;
    Millis fetchedAt = 0, freshUntil = 0, retryAfter = 0;
    bool inFlight = false;
  };

  AlertsLookup served(const Entry& entry, Millis now) const;
  void callOne();

  std::vector<AlertSource> sources_;
  std::vector<std::unique_ptr<CallBudget>> budgets_;
  std::function<Millis()> clock_;
  AlertsTimes times_;
  std::mutex mutex_;
  std::condition_variable landed_;
  RecentlyRead<Entry> entries_;
  std::deque<std::shared_ptr<Entry>> queue_;
  bool stopping_ = false;
  AlertsStats stats_;
  WorkerPool callers_;
};
