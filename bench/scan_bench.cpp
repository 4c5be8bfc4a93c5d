// Throughput of the page scanners beside memchr over the same buffer.
// Prints each scanner's bytes per second and its ratio to memchr's.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "weather/weather_page.h"

namespace {

constexpr std::size_t kPageSize = 1 << 20;

// A report page of 1 MiB: ordinary markup (a long forecast table) with the
// markers near its end, so the scan crosses the whole page.
const std::string& reportPage() {
  static const std::string page = [] {
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"windows-1252\">"
        "<title>Current Conditions</title><link rel=\"stylesheet\" href=\"/static/site.css\">"
        "</head>\n<body>\n<nav class=\"top\"><a href=\"/\">Home</a> | <a href=\"/about\">About</a>"
        "</nav>\n<main>\n<table class=\"forecast\">\n";
    std::string row =
        "<tr class=\"hour\"><td class=\"time\">14:00</td><td class=\"sky\">Partly cloudy with "
        "a light breeze from the west</td><td class=\"temp\">54&deg;F</td><td class=\"wind\">"
        "W 9 mph</td><td class=\"humidity\">61%</td></tr>\n";
    std::string tail =
        "</table>\n<section class=\"report\"><h1 id=\"currentWeather\">Oslo, Norway</h1>\n"
        "<span id=\"currentTemperature\">-3&deg;F</span>\n<dl class=\"details\"><dt>Feels "
        "Like:</dt><dd class=\"value feels-like\">-9&deg;F</dd></dl></section>\n</main>\n"
        "<footer><p>&copy; 2026 Sample Weather Service.</p></footer>\n</body>\n</html>\n";
    std::string page = head;
    while (page.size() + row.size() + tail.size() <= kPageSize) page += row;
    page.append(kPageSize - page.size() - tail.size(), ' ');
    page += tail;
    return page;
  }();
  return page;
}

void setBytes(benchmark::State& state, std::size_t size) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void BM_memchr_report(benchmark::State& state) {
  const std::string& page = reportPage();
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memchr(page.data(), '\x01', page.size()));
  }
  setBytes(state, page.size());
}
BENCHMARK(BM_memchr_report);

void BM_scanWeatherPage(benchmark::State& state) {
  const std::string& page = reportPage();
  Conditions result;
  for (auto _ : state) {
    scanWeatherPage(page, result);
    benchmark::DoNotOptimize(result);
  }
  if (std::strcmp(result.locationName, "Oslo, Norway") != 0) state.SkipWithError("wrong scan");
  setBytes(state, page.size());
}
BENCHMARK(BM_scanWeatherPage);

// Keeps each run's throughput so that main can print the ratios.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> bytesPerSecond;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) bytesPerSecond[run.benchmark_name()] = it->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

void printRatio(const RatioReporter& reporter, const std::string& scanner,
                const std::string& baseline) {
  auto scan = reporter.bytesPerSecond.find(scanner);
  auto base = reporter.bytesPerSecond.find(baseline);
  if (scan == reporter.bytesPerSecond.end() || base == reporter.bytesPerSecond.end()) return;
  std::printf("%-24s %8.2f GB/s  memchr %8.2f GB/s  ratio %.2f (goal >= 0.33)\n", scanner.c_str(),
              scan->second / 1e9, base->second / 1e9, scan->second / base->second);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printRatio(reporter, "BM_scanWeatherPage", "BM_memchr_report");
  benchmark::Shutdown();
  return 0;
}
