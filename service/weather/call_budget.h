#pragma once
// How many calls the weather upstream may receive: one budget per minute,
// hour and day. A call is made only when every budget has a token left.

#include <array>
#include <cstdint>
#include <deque>
#include <mutex>

// Milliseconds on the clock the live parts share (injected, so tests can move
// time without sleeping).
using Millis = std::int64_t;

struct BudgetLimits {
  // The free tier allows fewer than 600 calls a minute, 5,000 an hour and
  // 10,000 a day.
  int perMinute = 599;
  int perHour = 4999;
  int perDay = 9999;
  // Kept in each period for refreshing places that are being read, so that
  // a flood of new places cannot starve them.
  int refreshPercent = 20;
};

class CallBudget {
 public:
  explicit CallBudget(BudgetLimits limits);

  // Takes one token from each budget, or none when any is spent. A call for
  // a new place leaves each budget's refresh share alone.
  bool trySpend(Millis now, bool refresh = true);
  // Tokens left per minute, hour and day.
  std::array<int, 3> left(Millis now);

 private:
  // A spent token comes back one whole period after it was spent, not bit by
  // bit: a bucket that refills steadily lets up to twice its size through
  // one period, and the upstream counts whole periods.
  struct Bucket {
    Millis period;
    int size;
    std::deque<Millis> spentAt;  // oldest first; never more than `size`
    void returnTokens(Millis now);
  };
  BudgetLimits limits_;
  std::array<Bucket, 3> buckets_;
  std::mutex mutex_;
};
