// Throughput of the page scanners beside memchr over the same buffer.
// Prints each scanner's bytes per second and its ratio to memchr's.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "search/search_results.h"
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

// A results page of 1 MiB: a results header near the top, then one block per
// place (a first-kind link, a description and a small conditions table), with
// a second-kind link to a nearby place after every fourth block. The realistic
// page has some fifty places with an hourly forecast table after each, the
// bulk of the page; the dense one has nothing but places, about twelve hundred.
const std::string& resultsPage(bool dense) {
  auto build = [](bool dense) {
    std::string head =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head><meta charset=\"windows-1252\">"
        "<title>Search: springfield &mdash; Sample Weather Service</title><link "
        "rel=\"stylesheet\" href=\"/static/site.css\"></head>\n<body>\n<nav class=\"top\"><a "
        "href=\"/\">Home</a> | <a href=\"/about\">About</a></nav>\n<main>\n<h2>Matching "
        "locations &mdash; many found</h2>\n<ul class=\"results\">\n";
    std::string block =
        "<li class=\"result\"><a class=\"resolveLinkSpecial\" href=\"/weather/us/il/"
        "springfield\">Springfield, IL</a>\n<p class=\"region\">Sangamon County, Illinois, "
        "United States. The state capital, on the Sangamon River in the central part of the "
        "state, with a humid continental climate: hot summers, cold and snowy winters.</p>\n"
        "<table class=\"now\"><tr><th>Sky</th><th>Temperature</th><th>Wind</th><th>Humidity"
        "</th></tr>\n<tr><td class=\"sky\">Overcast, rain later in the evening</td><td "
        "class=\"temp\">49&deg;F</td><td class=\"wind\">SW 14 mph</td><td "
        "class=\"humidity\">78%</td></tr></table>\n<p class=\"coords\">39.80&deg;N 89.64&deg;W"
        " &middot; elevation 558 ft &middot; local time 14:00 CST</p></li>\n";
    std::string nearby =
        "<li class=\"nearby\">Nearby: <a class=\"resolveLink\" href=\"/weather/us/il/chatham"
        "\">Chatham, IL</a></li>\n";
    std::string hour =
        "<tr class=\"hour\"><td class=\"time\">14:00</td><td class=\"sky\">Partly cloudy "
        "with a light breeze from the west</td><td class=\"temp\">54&deg;F</td><td "
        "class=\"wind\">W 9 mph</td><td class=\"humidity\">61%</td></tr>\n";
    std::string forecast = "<table class=\"forecast\">\n";
    for (int i = 0; i < 100; ++i) forecast += hour;
    forecast += "</table>\n";
    std::string tail =
        "</ul>\n</main>\n<footer><p>&copy; 2026 Sample Weather Service.</p></footer>\n</body>\n"
        "</html>\n";
    std::string place = dense ? block : block + forecast;
    std::string page = head;
    for (int i = 0; page.size() + place.size() + nearby.size() + tail.size() <= kPageSize; ++i) {
      page += place;
      if (i % 4 == 3) page += nearby;
    }
    page.append(kPageSize - page.size() - tail.size(), ' ');
    page += tail;
    return page;
  };
  static const std::string realistic = build(false), denseOne = build(true);
  return dense ? denseOne : realistic;
}

void BM_memchr_results(benchmark::State& state) {
  const std::string& page = resultsPage(state.range(0) != 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memchr(page.data(), '\x01', page.size()));
  }
  setBytes(state, page.size());
}
BENCHMARK(BM_memchr_results)->ArgName("dense")->Arg(0)->Arg(1);

void BM_scanSearchResults(benchmark::State& state) {
  const bool dense = state.range(0) != 0, extended = state.range(1) != 0;
  const std::string& page = resultsPage(dense);
  std::size_t entries = 0;
  for (auto _ : state) {
    SearchScan scan = scanSearchResults(page, extended, "Springfield");
    entries = scan.entries.size();
    benchmark::DoNotOptimize(scan);
  }
  if (entries < (dense ? 1000u : 40u)) state.SkipWithError("wrong scan");
  state.counters["entries"] = static_cast<double>(entries);
  setBytes(state, page.size());
}
BENCHMARK(BM_scanSearchResults)->ArgNames({"dense", "extended"})->ArgsProduct({{0, 1}, {0, 1}});

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
  for (const char* page : {"dense:0", "dense:1"}) {
    for (const char* extended : {"extended:0", "extended:1"}) {
      printRatio(reporter, std::string("BM_scanSearchResults/") + page + "/" + extended,
                 std::string("BM_memchr_results/") + page);
    }
  }
  benchmark::Shutdown();
  return 0;
}
