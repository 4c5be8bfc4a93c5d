#include "service/weather/call_budget.h"

namespace {

constexpr Millis kMinute = 60'000, kHour = 60 * kMinute, kDay = 24 * kHour;

}  // namespace

CallBudget::CallBudget(BudgetLimits limits)
    : buckets_{Bucket{kMinute, limits.perMinute, {}}, Bucket{kHour, limits.perHour, {}},
               Bucket{kDay, limits.perDay, {}}} {}

void CallBudget::Bucket::returnTokens(Millis now) {
  while (!spentAt.empty() && now - spentAt.front() >= period) spentAt.pop_front();
}

bool CallBudget::trySpend(Millis now) {
  std::lock_guard<std::mutex> guard(mutex_);
  for (Bucket& bucket : buckets_) {
    bucket.returnTokens(now);
    if (int(bucket.spentAt.size()) >= bucket.size) return false;
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
