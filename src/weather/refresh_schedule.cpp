#include "weather/refresh_schedule.h"

uint32_t refreshDelayMs(uint32_t failures) {
  if (failures == 0) return kRefreshPeriodMs;
  uint32_t delay = kFirstRetryMs;
  // Stops doubling at the period, so no count of failures can overflow it.
  for (uint32_t n = 1; n < failures && delay < kRefreshPeriodMs; ++n) delay *= 2;
  return delay < kRefreshPeriodMs ? delay : kRefreshPeriodMs;
}
