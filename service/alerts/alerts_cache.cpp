#include "service/alerts/alerts_cache.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// A page of alerts still on their way is kept by a cache in front only this
// long, so the next reader gets them.
constexpr Millis kWhilePending = 5'000;

std::string placeKey(std::size_t source, double latitude, double longitude) {
  auto fixed = [](double value) {
    double rounded = std::round(value * 10000) / 10000;
    return rounded == 0 ? 0.0 : rounded;
  };
  char key[80];
  std::snprintf(key, sizeof key, "%zu:%.4f,%.4f", source, fixed(latitude), fixed(longitude));
  return key;
}

}  // namespace

AlertsCache::AlertsCache(std::vector<AlertSource> sources, std::function<Millis()> clock,
                         AlertsTimes times)
    : sources_(std::move(sources)),
      clock_(std::move(clock)),
      times_(times),
      callers_(times.workers) {
  for (const AlertSource& source : sources_)
    budgets_.push_back(std::make_unique<CallBudget>(source.budget));
}

AlertsCache::~AlertsCache() {
  {
    std::lock_guard<std::mutex> guard(mutex_);
    stopping_ = true;
  }
  callers_.shutdown();
}

AlertsLookup AlertsCache::served(const Entry& entry, Millis now) const {
  AlertsLookup found;
  found.source = &sources_[entry.source];
  if (!entry.answered || now - entry.fetchedAt > times_.stale) {
    found.keepFor =
        entry.inFlight ? kWhilePending : std::max<Millis>(1'000, entry.retryAfter - now);
    return found;
  }
  found.answered = true;
  found.alerts = inForce(entry.alerts, now / 1000);
  found.keepFor = entry.inFlight ? kWhilePending : std::max<Millis>(0, entry.freshUntil - now);
  return found;
}

void AlertsCache::callOne() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_ || queue_.empty()) return;
  std::shared_ptr<Entry> entry = std::move(queue_.front());
  queue_.pop_front();
  const AlertSource& source = sources_[entry->source];
  lock.unlock();
  AlertsFetched fetched;
  try {
    fetched = source.fetch(entry->latitude, entry->longitude, clock_() / 1000);
  } catch (...) {
    fetched.error = "alerts call failed";
  }
  lock.lock();
  Millis now = clock_();
  entry->inFlight = false;
  ++stats_.calls;
  if (fetched.answered) {
    entry->answered = true;
    entry->alerts = std::move(fetched.alerts);
    entry->fetchedAt = now;
    // The source's own freshness when longer, within bounds.
    Millis told = std::min<Millis>(fetched.maxAgeS, times_.longest / 1000) * 1000;
    entry->freshUntil = now + std::max(times_.fresh, told);
  } else {
    ++stats_.failures;
    entry->retryAfter = now + times_.retry;
  }
  landed_.notify_all();
}

AlertsLookup AlertsCache::get(const Place& place, Millis waitMs) {
  std::size_t source = 0;
  while (source < sources_.size() && !sources_[source].covers(place)) ++source;
  std::unique_lock<std::mutex> lock(mutex_);
  ++stats_.lookups;
  if (source == sources_.size()) {
    ++stats_.notCovered;
    return {};
  }
  std::string key = placeKey(source, place.latitude, place.longitude);
  std::shared_ptr<Entry> entry = entries_.touch(key, times_.maxPlaces, [&] {
    auto made = std::make_shared<Entry>();
    made->key = key;
    made->source = source;
    made->latitude = place.latitude;
    made->longitude = place.longitude;
    return made;
  });
  Millis now = clock_();
  bool due = !entry->inFlight && now >= entry->retryAfter &&
             (!entry->answered || now >= entry->freshUntil) && queue_.size() < times_.queue;
  if (due) {
    if (budgets_[source]->trySpend(now, entry->answered)) {
      entry->inFlight = true;
      queue_.push_back(entry);
      callers_.run([this] { callOne(); });
    } else {
      ++stats_.budgetRefusals;
      entry->retryAfter = now + times_.retry;
    }
  }
  // Only a place without an answer waits, and only briefly.
  if (entry->inFlight && !entry->answered && waitMs > 0)
    landed_.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return !entry->inFlight; });
  return served(*entry, clock_());
}

AlertsStats AlertsCache::stats() {
  std::lock_guard<std::mutex> guard(mutex_);
  return stats_;
}
