// The world places search: opening the world's image (or reading a data
// file's text, with --data FILE.tsv), and searches for
// short prefixes and ZIP codes through the index beside a plain linear scan
// over every name in the same run. Prints each search's 99th percentile and
// its speed-up over the scan, the resident memory with the data loaded, and
// how often the place people meant comes first and among the first ten for
// the real queries of world_queries.tsv, and how often the Search dialog
// selects it.
//   world_bench [--data FILE] [--queries FILE] [benchmark options]

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <strings.h>

#include "search/search_query.h"
#include "search/search_results.h"
#include "service/pages/routing.h"
#include "service/places/gazetteer.h"
#include "service/places/query_text.h"
#include "service/places/report_link.h"
#include "service/places/text_fold.h"
#include "service/places/world_source.h"

namespace {

std::string dataFile = SKYVANE_WORLD_DATA_FILE;
std::string queriesFile = SKYVANE_WORLD_QUERIES_FILE;

// As the service opens it: the image mapped, a text file read and indexed.
Gazetteer open(const std::string& file) {
  return file.ends_with(".tsv") ? loadGazetteer(file) : mapGazetteer(file);
}

const Gazetteer& world() {
  static Gazetteer loaded = open(dataFile);
  return loaded;
}

// "VmRSS:" all resident pages, "RssAnon:" the private ones (a mapped
// image's pages are the file's, shared and clean).
long residentKiB(const char* field = "VmRSS:") {
  std::ifstream status("/proc/self/status");
  std::size_t length = std::strlen(field);
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + length);
  return -1;
}

// What the index answers, found the slow way: every town's name tried for a
// word that begins with the query, every ZIP code compared.
std::size_t linearSearch(const Gazetteer& g, std::string_view query) {
  std::string key = searchKey(asciiFromQuery(query));
  if (key.size() == 5 && key.find_first_not_of("0123456789") == std::string::npos) {
    for (const ZipCode& zip : g.zips)
      if (zip.code == std::uint32_t(std::stoul(key))) return 1;
    return 0;
  }
  static std::vector<std::string> keys;
  if (keys.empty())
    for (const WorldPlace& place : g.places) keys.push_back(searchKey(arenaText(g, place.city)));
  std::vector<std::uint32_t> found;
  for (std::uint32_t i = 0; i < g.places.size(); ++i) {
    std::string_view name = keys[i];
    for (std::size_t at = 0; at < name.size(); at = name.find(' ', at) + 1) {
      if (name.substr(at, key.size()) == key) {
        found.push_back(i);
        break;
      }
      if (name.find(' ', at) == std::string_view::npos) break;
    }
  }
  return found.size() == 1 ? 1 : std::min(found.size(), kMaxListed);
}

std::size_t indexedSearch(const Gazetteer& g, std::string_view query) {
  WorldMatch match = searchWorld(g, query);
  return match.hit ? 1 : match.listed.size();
}

// Times every call, wall clock and the thread's own CPU, so that the 99th
// percentile can be told even on a machine that other work shares.
template <typename Search>
std::size_t timeEach(benchmark::State& state, Search search) {
  auto cpuMicros = [] {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
  };
  std::vector<double> wall, cpu;
  std::size_t found = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    double cpuStart = cpuMicros();
    found = search();
    cpu.push_back(cpuMicros() - cpuStart);
    wall.push_back(
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
            .count());
    benchmark::DoNotOptimize(found);
  }
  std::sort(wall.begin(), wall.end());
  std::sort(cpu.begin(), cpu.end());
  state.counters["p99_us"] = wall[wall.size() * 99 / 100];
  state.counters["p99_cpu_us"] = cpu[cpu.size() * 99 / 100];
  state.counters["found"] = double(found);
  return found;
}

void timeSearches(benchmark::State& state,
                  std::size_t (*search)(const Gazetteer&, std::string_view), const char* query) {
  const Gazetteer& g = world();
  if (!g.error.empty()) return state.SkipWithError(g.error.c_str());
  if (indexedSearch(g, query) != linearSearch(g, query))
    return state.SkipWithError("the index and the scan disagree");
  timeEach(state, [&] { return search(g, query); });
}
void BM_index(benchmark::State& state, const char* query) {
  timeSearches(state, indexedSearch, query);
}
void BM_scan(benchmark::State& state, const char* query) {
  timeSearches(state, linearSearch, query);
}
BENCHMARK_CAPTURE(BM_index, Sa, "Sa");
BENCHMARK_CAPTURE(BM_scan, Sa, "Sa");
BENCHMARK_CAPTURE(BM_index, San, "San");
BENCHMARK_CAPTURE(BM_scan, San, "San");
BENCHMARK_CAPTURE(BM_index, Spr, "Spr");
BENCHMARK_CAPTURE(BM_scan, Spr, "Spr");
BENCHMARK_CAPTURE(BM_index, 90210, "90210");
BENCHMARK_CAPTURE(BM_scan, 90210, "90210");
BENCHMARK_CAPTURE(BM_index, 59715, "59715");
BENCHMARK_CAPTURE(BM_scan, 59715, "59715");

// Whole names, other names and a region: the index alone, no scan beside.
void BM_name(benchmark::State& state, const char* query) {
  const Gazetteer& g = world();
  if (!g.error.empty()) return state.SkipWithError(g.error.c_str());
  timeEach(state, [&] { return indexedSearch(g, query); });
}
BENCHMARK_CAPTURE(BM_name, Springfield, "Springfield");
BENCHMARK_CAPTURE(BM_name, Praha, "Praha");
BENCHMARK_CAPTURE(BM_name, boston_ma, "boston ma");
BENCHMARK_CAPTURE(BM_name, London_Ontario, "London, Ontario");
BENCHMARK_CAPTURE(BM_name, typo_Cincinatti, "Cincinatti");
BENCHMARK_CAPTURE(BM_name, typo_Albequerque_NM, "Albequerque NM");

// The queries' "\\xHH" escapes as bytes, so the file stays plain ASCII.
std::string unescape(std::string_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text.substr(i, 2) == "\\x" && i + 3 < text.size()) {
      bytes += char(std::stoi(std::string(text.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      bytes += text[i];
    }
  }
  return bytes;
}

double kilometres(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kRadians = 3.14159265358979323846 / 180;
  double x = (lon2 - lon1) * kRadians * std::cos((lat1 + lat2) / 2 * kRadians);
  double y = (lat2 - lat1) * kRadians;
  return 6371 * std::sqrt(x * x + y * y);
}

std::string placeName(const Gazetteer& g, std::uint32_t i) { return displayName(g, g.places[i]); }
Located placeAt(const Gazetteer& g, std::uint32_t i) {
  return {displayName(g, g.places[i]), degrees(g.places[i].latitude),
          degrees(g.places[i].longitude)};
}
std::vector<Located> answersOf(const Gazetteer&, const WorldMatch& match) {
  if (match.hit) return {*match.hit};
  return match.listed;
}

// The places the Search dialog selects for `query`, from the service's page
// as the program reads it ("extended" clear) and its list sorted by text as
// the drop-down keeps it: the list's first entry, and the page's best match.
// nullopt where nothing is selected.
struct Selected {
  std::optional<Located> first, best;
};
Selected dialogSelects(std::string_view query, const std::optional<Located>& hit) {
  static const PlaceSource service = worldSource(open(dataFile));
  NormalisedQuery forms = normaliseQuery(query);
  Answer answer = answerRequest(service, searchRequestUrl("", forms), 0);
  SearchScan scan = scanSearchResults(answer.body, false, forms.underscoreForm);
  if (scan.outcome == ScanOutcome::DirectHit) return {hit, hit};
  std::vector<SearchEntry> listed = scan.entries;
  std::stable_sort(listed.begin(), listed.end(), [](const SearchEntry& a, const SearchEntry& b) {
    return strcasecmp(a.displayText.c_str(), b.displayText.c_str()) < 0;
  });
  auto placeOf = [&](int index) -> std::optional<Located> {
    if (index < 0) return std::nullopt;
    auto link = parseReportLink(listed[index].link);
    if (!link) return std::nullopt;
    return Located{listed[index].displayText, link->latitude, link->longitude};
  };
  return {placeOf(listed.empty() ? -1 : 0), placeOf(bestMatchIndex(scan.entries, listed))};
}

// The first place and the first ten of every query beside the place meant
// (the most populous record of that name; an answer within 25 km of it
// counts). Prints the misses, and the direct hits on another place.
void hitRate(const Gazetteer& g) {
  std::ifstream in(queriesFile);
  if (!in) return (void)std::printf("no queries file %s\n", queriesFile.c_str());
  std::map<std::string, Located> places;
  for (std::uint32_t i = g.places.size(); i-- > 0;) places[placeName(g, i)] = placeAt(g, i);
  int total = 0, first = 0, topTen = 0, wrongHits = 0, dialogFirst = 0, dialogBest = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    auto tab = line.find('\t');
    std::string query = unescape(line.substr(0, tab)), meant = line.substr(tab + 1);
    auto at = places.find(meant);
    if (at == places.end()) {
      std::printf("  unknown place %s\n", meant.c_str());
      continue;
    }
    ++total;
    auto near = [&](const Located& p) {
      return kilometres(p.latitude, p.longitude, at->second.latitude, at->second.longitude) < 25;
    };
    WorldMatch match = searchWorld(g, query);
    bool direct = bool(match.hit);
    std::vector<Located> answers = answersOf(g, match);
    std::size_t rank = SIZE_MAX;
    for (std::size_t i = 0; i < answers.size(); ++i)
      if (near(answers[i])) {
        rank = i;
        break;
      }
    first += rank == 0;
    topTen += rank < 10;
    if (direct && rank != 0) ++wrongHits;
    if (rank != 0)
      std::printf("  %-22s %-28s %s\n", query.c_str(), meant.c_str(),
                  rank < answers.size() ? ("at " + std::to_string(rank + 1)).c_str()
                  : direct              ? ("wrong direct hit " + answers[0].name).c_str()
                  : answers.empty()     ? "nothing"
                                        : ("missing, first " + answers[0].name).c_str());
    Selected selected = dialogSelects(query, match.hit);
    dialogFirst += selected.first && near(*selected.first);
    dialogBest += selected.best && near(*selected.best);
    if (!selected.best || !near(*selected.best))
      std::printf("  %-22s %-28s the dialog selects %s\n", query.c_str(), meant.c_str(),
                  selected.best ? selected.best->name.c_str() : "nothing");
  }
  std::printf(
      "hit rate: %d queries, place meant first %d (%.0f%%), in the first ten %d (%.0f%%), "
      "direct hits on another place %d\n",
      total, first, 100.0 * first / std::max(total, 1), topTen, 100.0 * topTen / std::max(total, 1),
      wrongHits);
  std::printf(
      "the dialog selects the place meant: the page's best match %d (%.0f%%); the list's first "
      "entry %d (%.0f%%)\n",
      dialogBest, 100.0 * dialogBest / std::max(total, 1), dialogFirst,
      100.0 * dialogFirst / std::max(total, 1));
}

void BM_load(benchmark::State& state) {
  std::size_t places = 0;
  for (auto _ : state) {
    Gazetteer g = open(dataFile);
    if (!g.error.empty()) return state.SkipWithError(g.error.c_str());
    places = g.places.size();
  }
  state.counters["places"] = double(places);
}
BENCHMARK(BM_load)->Unit(benchmark::kMillisecond)->Iterations(5);

class Reporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> meanNs, p99Us, p99CpuUs;
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      meanNs[run.benchmark_name()] = run.GetAdjustedRealTime();
      auto p99 = run.counters.find("p99_us");
      if (p99 != run.counters.end()) p99Us[run.benchmark_name()] = p99->second;
      auto p99Cpu = run.counters.find("p99_cpu_us");
      if (p99Cpu != run.counters.end()) p99CpuUs[run.benchmark_name()] = p99Cpu->second;
    }
    ConsoleReporter::ReportRuns(runs);
  }
};

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i + 1 < argc;)
    if (std::strcmp(argv[i], "--data") == 0 || std::strcmp(argv[i], "--queries") == 0) {
      (argv[i][2] == 'd' ? dataFile : queriesFile) = argv[i + 1];
      std::memmove(argv + i, argv + i + 2, sizeof(char*) * (argc - i - 1));
      argc -= 2;
    } else {
      ++i;
    }
  long before = residentKiB(), privateBefore = residentKiB("RssAnon:");
  auto start = std::chrono::steady_clock::now();
  const Gazetteer& g = world();
  double loadMs =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  if (!g.error.empty()) {
    std::fprintf(stderr, "world_bench: %s\n", g.error.c_str());
    return 1;
  }
  long after = residentKiB(), privateAfter = residentKiB("RssAnon:");
  benchmark::Initialize(&argc, argv);
  Reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf(
      "\nfirst load %.0f ms (goal <= 1000); resident %.1f MiB after, %.1f MiB for the data "
      "(goal <= 64 MiB), of it private %.1f MiB\n",
      loadMs, after / 1024.0, (after - before) / 1024.0, (privateAfter - privateBefore) / 1024.0);
  for (auto& [name, p99] : reporter.p99Us)
    if (name.rfind("BM_name/", 0) == 0)
      std::printf(
          "%-26s p99 %7.1f us (CPU %6.1f us), mean %7.1f us (goal <= 1000, typos <= "
          "10000)\n",
          name.c_str() + 8, p99, reporter.p99CpuUs[name], reporter.meanNs[name] / 1000);
  for (const char* query : {"Sa", "San", "Spr", "90210", "59715"}) {
    std::string index = std::string("BM_index/") + query;
    std::string scan = std::string("BM_scan/") + query;
    if (!reporter.meanNs.count(index) || !reporter.meanNs.count(scan)) continue;
    std::printf(
        "%-6s index p99 %7.1f us (CPU %6.1f us; goal <= 1000), mean %7.1f us; scan mean %8.1f "
        "us; %5.0fx faster (goal >= 50)\n",
        query, reporter.p99Us[index], reporter.p99CpuUs[index], reporter.meanNs[index] / 1000,
        reporter.meanNs[scan] / 1000, reporter.meanNs[scan] / reporter.meanNs[index]);
  }
  hitRate(g);
  benchmark::Shutdown();
  return 0;
}
