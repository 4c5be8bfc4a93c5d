// The weather cache at its cap: the cost of a new place (which evicts the
// least recently read) and of a fresh reading, with an upstream that answers
// at once, so that only the cache's own work is timed.

#include <benchmark/benchmark.h>

#include <atomic>

#include "service/weather/weather_cache.h"

namespace {

constexpr std::size_t kCap = 20000;

struct Full {
  CallBudget budget{{1 << 30, 1 << 30, 1 << 30, 0}};
  std::atomic<Millis> clock{0};
  WeatherCache cache{[](double, double) {
                       return UpstreamResult{Reading{70, 68, 0}, ""};
                     },
                     budget, [this] { return clock.load(); }};
  Full() {
    for (std::size_t i = 0; i < kCap; ++i) cache.get(double(i) / 1000, 0);
  }
};

void newPlaceAtTheCap(benchmark::State& state) {
  Full full;
  std::size_t next = kCap;
  for (auto _ : state) benchmark::DoNotOptimize(full.cache.get(double(next++) / 1000, 0));
}
BENCHMARK(newPlaceAtTheCap);

void freshReadingAtTheCap(benchmark::State& state) {
  Full full;
  std::size_t next = 0;
  for (auto _ : state)
    benchmark::DoNotOptimize(full.cache.get(double(kCap - 1 - next++ % 1000) / 1000, 0));
}
BENCHMARK(freshReadingAtTheCap);

}  // namespace

BENCHMARK_MAIN();
