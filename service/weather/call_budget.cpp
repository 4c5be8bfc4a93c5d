#include "service/weather/call_budget.h"

#include <algorithm>

namespace {

constexpr Millis kMinute = 60'000, kHour = 60 * kMinute, kDay = 24 * kHour;

}  // namespace

CallBudget::CallBudget(BudgetLimits limits)
    : limits_(limits),
      buckets_{Bucket{kMinute, limits.perMinute, {}}, Bucket{kHour, limits.perHour, {}},
               Bucket{kDay, limits.perDay, {}}} {}

void CallBudget::Bucket::returnTokens(Millis now) {
  while (!spentAt.empty() && now - spentAt.front() >= period) spentAt.pop_front();
}

bool CallBudget::trySpend(Millis now, bool refresh) {
  std::lock_guard<std::mutex> guard(mutex_);
  int percent = refresh ? 0 : std::clamp(limits_.refreshPercent, 0, 100);
  for (Bucket& bucket : buckets_) {
    bucket.returnTokens(now);
    int usable = bucket.size - int((long long)bucket.size * percent / 100);
    if (int(bucket.spentAt.size()) >= usable) return false;
  }
  for (Bucket& bucket : buckets_) bucket.spentAt.push_back(now);
  return true;
}

std::array<int, 3> CallBudget::left(Millis now) {
  std::lock_guard<std::mutex> guard(mutex_);
  std::array<int, 3> tokens{};
  for (std::size_t i = 0; i < buckets_.size(); ++i) {
    buckets_[i].returnTokens(now);
    tokens[i] = buckets_[i].size - int(buckets_[i].spentAt.size());
  }
  return tokens;
}
