#pragma once
// When the next refresh runs: the period after a loaded page, a retry that
// backs off after failed downloads.

#include <cstdint>

inline constexpr uint32_t kRefreshPeriodMs = 300000;
inline constexpr uint32_t kFirstRetryMs = 30000;
// After a resume from sleep: soon, but not before the network had a moment.
inline constexpr uint32_t kResumeRefreshMs = 3000;

// The delay before the next refresh after `failures` failed downloads in a
// row: the full period after none; 30 s after the first, doubling with each
// further one, never beyond the period.
uint32_t refreshDelayMs(uint32_t failures);
