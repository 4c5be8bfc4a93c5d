// skyvane-footprint: the program's memory, GDI, USER, handle and thread
// counts beside those of a minimal Win32 program, before, halfway through and
// after a long stretch of use (refreshes and searches against the sample
// service), and how long a slow refresh holds up its user-interface thread.
// Prints a table; exits 1 when a goal is missed and 2 when the run itself
// failed.
//
//   skyvane-footprint [--trace] [--growth-only] [--refreshes N] [--searches N] [--slow-ms MS]
//                     [--rest-ms MS] [--tray-temperature on|off] [--service URL]
//                     [--skyvane EXE] [--minimal EXE] [--skins DIR] [--work DIR]
//
// --slow-ms 0 leaves out the responsiveness run; --rest-ms 0 reads the
// counts without waiting for the program to come to rest; --growth-only
// judges the run by the growth of the counts alone, as the short test does;
// --tray-temperature off leaves the tray icon the program's own (by default
// the temperature is drawn in it, a new icon with every page).

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "drive_win.h"
#include "driver.h"
#include "resource.h"
#include "probe_win.h"

namespace {

struct Options {
  bool trace = false;
  bool growthOnly = false;
  int refreshes = 1000;
  int searches = 100;
  int slowMs = 2000;
  int restMs = 90000;
  bool trayTemperature = true;
  std::string service = SKYVANE_SERVICE_BASE_URL;
  std::string skyvane = SKYVANE_EXE;
  std::string minimal = MINIMAL_EXE;
  std::string skins = SKYVANE_SKINS;
  std::string work;
};

// The goals.
constexpr double kExeLimitKiB = 400;
constexpr double kPrivateMarginMiB = 2;

constexpr DWORD kStepTimeoutMs = 30000;
// Queries of every kind the service answers: lists, single sections, a
// fallback to minor places, direct hits and nothing found.
const char* const kQueries[] = {"TX",       "San",    "Paris",          "London",  "New",
                                "Portland", "Canada", "Anchor",         "78",      "Springfield",
                                "Austin",   "Oslo",   "78701",          "Nowhere", "Austin, TX",
                                "787",      "Port",   "Springfield, IL"};
constexpr int kQueryCount = static_cast<int>(sizeof kQueries / sizeof kQueries[0]);

// A Windows path from a Unix one (Wine maps / to drive Z:).
std::string windowsPath(std::string path) {
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool parseOptions(int argc, char** argv, Options& options) {
  int i = 1;
  for (; i < argc; ++i) {
    std::string flag = argv[i];
    if (flag == "--trace") {
      options.trace = true;
    } else if (flag == "--growth-only") {
      options.growthOnly = true;
    } else {
      break;
    }
  }
  for (; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    std::string value = argv[i + 1];
    if (name == "--refreshes") {
      options.refreshes = std::atoi(value.c_str());
    } else if (name == "--searches") {
      options.searches = std::atoi(value.c_str());
    } else if (name == "--slow-ms") {
      options.slowMs = std::atoi(value.c_str());
    } else if (name == "--rest-ms") {
      options.restMs = std::atoi(value.c_str());
    } else if (name == "--tray-temperature" && (value == "on" || value == "off")) {
      options.trayTemperature = value == "on";
    } else if (name == "--service") {
      options.service = value;
    } else if (name == "--skyvane") {
      options.skyvane = value;
    } else if (name == "--minimal") {
      options.minimal = value;
    } else if (name == "--skins") {
      options.skins = value;
    } else if (name == "--work") {
      options.work = value;
    } else {
      return false;
    }
  }
  if (i != argc) return false;
  if (options.work.empty()) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    options.work = std::string(temp) + "skyvane-footprint";
  }
  options.skyvane = windowsPath(options.skyvane);
  options.minimal = windowsPath(options.minimal);
  options.skins = windowsPath(options.skins);
  options.work = windowsPath(options.work);
  return true;
}

std::string settingsFor(const std::string& reportUrl, bool trayTemperature) {
  return "[General]\r\nURL0=" + reportUrl +
         "\r\nCity0=Austin, TX\r\nMetric=f\r\n[Tray]\r\nTemperature=" +
         (trayTemperature ? "1" : "0") + "\r\n";
}

const char* wineVersion() {
  using Version = const char*(CDECL*)();
  // Through void*: a FARPROC converts to no other function type cleanly.
  auto version = reinterpret_cast<Version>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")));
  return version ? version() : nullptr;
}

double fileKiB(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return -1;
  return (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1024.0;
}

// Reads the counts once the program is at rest: its queue answers, and the
// threads that the platform's download machinery keeps for a while (a
// thread-pool worker, the keep-alive connection collector) have ended, as
// they have through the minutes between two refreshes. Without a rest limit
// only the queue is waited for.
Footprint restedMeasure(const driver::Program& program, DWORD restMs) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &ignored);
  double end = nowMs() + restMs;
  while (nowMs() < end && threadCount(program.process.hProcess).value > 1) Sleep(500);
  Sleep(1000);
  SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &ignored);
  // The least of several samples: a leaked object stays in every one, while
  // a connection or a paint in passing is missing from some.
  Footprint least = measure(program.process.hProcess);
  for (int sample = 1; sample < 5; ++sample) {
    Sleep(250);
    Footprint now = measure(program.process.hProcess);
    least.privateBytes = std::min(least.privateBytes, now.privateBytes);
    for (Count Footprint::*field : {&Footprint::gdiObjects, &Footprint::userObjects,
                                    &Footprint::handles, &Footprint::threads}) {
      (least.*field).value = std::min((least.*field).value, (now.*field).value);
    }
  }
  return least;
}

// One step of the workload: a refresh, or search number `search`.
struct Step {
  bool refresh;
  int search;
};

// The refreshes with the searches spread evenly among them.
std::vector<Step> planWorkload(int refreshes, int searches) {
  std::vector<Step> steps;
  int placed = 0;
  for (int r = 1; r <= refreshes; ++r) {
    steps.push_back({true, 0});
    for (; placed < static_cast<long long>(r) * searches / refreshes; ++placed) {
      steps.push_back({false, placed});
    }
  }
  for (; placed < searches; ++placed) steps.push_back({false, placed});
  return steps;
}

struct Workload {
  int refreshesDone = 0;
  int searchesDone = 0;
  double refreshTotalMs = 0;
  double refreshLongestMs = 0;
  double searchTotalMs = 0;
};

// With --trace, the counts after every step that changed one of them.
void traceStep(const driver::Program& program, const std::string& step, Footprint& last) {
  Footprint now = measure(program.process.hProcess);
  if (now.gdiObjects.value == last.gdiObjects.value &&
      now.userObjects.value == last.userObjects.value && now.handles.value == last.handles.value) {
    return;
  }
  std::fprintf(stderr, "%-28s gdi %ld, user %ld, handles %ld, threads %ld, private %.0f KiB\n",
               step.c_str(), now.gdiObjects.value, now.userObjects.value, now.handles.value,
               now.threads.value, now.privateBytes / 1024.0);
  last = now;
}

// Runs steps [first, last) of the plan. Every tenth search commits its first
// entry, which also rewrites the settings and slides the window in. False as
// soon as a step fails.
bool runSteps(const driver::Program& program, const std::vector<Step>& plan, size_t first,
              size_t last, bool trace, Workload& done) {
  Footprint traced;
  for (size_t i = first; i < last; ++i) {
    const Step& step = plan[i];
    if (step.refresh) {
      double took = refreshOnce(program.window, kStepTimeoutMs);
      if (took < 0) {
        std::fprintf(stderr, "refresh %d did not return\n", done.refreshesDone + 1);
        return false;
      }
      ++done.refreshesDone;
      done.refreshTotalMs += took;
      if (took > done.refreshLongestMs) done.refreshLongestMs = took;
      if (trace) traceStep(program, "refresh " + std::to_string(done.refreshesDone), traced);
      continue;
    }
    const char* query = kQueries[step.search % kQueryCount];
    double start = nowMs();
    if (const char* failure = searchOnce(program, query, step.search % 10 == 9, kStepTimeoutMs)) {
      std::fprintf(stderr, "search %d (\"%s\"): %s\n", step.search + 1, query, failure);
      return false;
    }
    done.searchTotalMs += nowMs() - start;
    ++done.searchesDone;
    if (trace) traceStep(program, std::string("search ") + query, traced);
  }
  return true;
}

struct Responsiveness {
  double idlePingMs = -1;
  double refreshMs = -1;        // from the tick to the end of its download
  double blockedMs = -1;        // the longest ping while it ran
  double silentBlockedMs = -1;  // the same against a connection that never answers
  double silentExitMs = -1;     // Exit during that download, until the process ended
  double idleExitMs = -1;       // Exit with no download running, for comparison
};

// Exit from the tray menu; the milliseconds until the process ended, or a
// negative value when it did not end within 10 s.
double timeExit(const driver::Program& program) {
  double start = nowMs();
  PostMessageA(program.window, WM_COMMAND, IDM_EXIT, 0);
  if (WaitForSingleObject(program.process.hProcess, 10000) != WAIT_OBJECT_0) return -1;
  return nowMs() - start;
}

// The goal: the user-interface thread answers within this however slow the
// service is.
constexpr double kBlockedLimitMs = 50;

// Starts the program with `report` as its location, posts a refresh as the
// timer does, and pings every 10 ms for `durationMs` to find how long the
// thread does not answer; `rounds` times, the longest kept. The program is
// left running.
double longestBlock(const driver::Program& program, int rounds, DWORD durationMs) {
  double longest = -1;
  for (int round = 0; round < rounds; ++round) {
    PostMessageA(program.window, WM_TIMER, 2, 0);
    longest = std::max(longest, longestPing(program.window, durationMs, 10));
  }
  return longest;
}

driver::Program startWith(const Options& options, const std::string& name,
                          const std::string& report) {
  std::string folder = options.work + "\\" + name;
  layOutWithSettings(folder, options.skyvane, "Skyvane.exe", options.skins,
                     settingsFor(report, options.trayTemperature));
  return startSettled(folder + "\\Skyvane.exe", folder, "Skyvane", kStepTimeoutMs + options.slowMs);
}

// Against a service whose report link answers after `slowMs`, three rounds
// of a posted refresh with pings, each followed by a refresh timed to the end
// of its download; then against a loopback listener that takes the request
// and never answers, the pings and an Exit while that download hangs.
Responsiveness measureResponsiveness(const Options& options) {
  Responsiveness result;
  std::string report =
      options.service + "/slow/" + std::to_string(options.slowMs) + "/report/austin-tx";
  driver::Program slow = startWith(options, "slow", report);
  if (slow.window) {
    result.idlePingMs = longestPing(slow.window, 1000, 10);
    for (int round = 0; round < 3; ++round) {
      result.blockedMs = std::max(result.blockedMs, longestBlock(slow, 1, options.slowMs + 2000));
      double took = refreshOnce(slow.window, kStepTimeoutMs + options.slowMs);
      if (took > result.refreshMs) result.refreshMs = took;
    }
    result.idleExitMs = timeExit(slow);
  }
  stopProgram(slow);

  driver::Listener silent;
  if (!driver::startListener(silent, "")) return result;
  driver::Program hanging = startWith(options, "silent", silent.url("/report/austin-tx"));
  if (hanging.window) {
    result.silentBlockedMs = longestBlock(hanging, 3, 3000);
    result.silentExitMs = timeExit(hanging);
  }
  stopProgram(hanging);
  driver::stopListener(silent);
  return result;
}

// Columns of the table.
enum Column { kMinimalStart, kMinimalEnd, kStart, kHalf, kEnd, kReadings };

std::string countText(const Count& count) {
  return count.value < 0 ? "n/a" : std::to_string(count.value);
}

void printCountRow(const char* name, Count Footprint::*field, const Footprint (&all)[kReadings]) {
  std::string label = std::string(name) + " [" + (all[kEnd].*field).source + "]";
  std::printf("%-40s", label.c_str());
  for (const Footprint& reading : all) std::printf(" %8s", countText(reading.*field).c_str());
  std::printf(" %+8ld\n", (all[kEnd].*field).value - (all[kHalf].*field).value);
}

struct Goal {
  std::string name;
  std::string figure;
  bool met;
  bool growth = false;  // judged by --growth-only too
};

void addGrowthGoal(std::vector<Goal>& goals, const char* name, const Count& half,
                   const Count& end) {
  bool known = half.value >= 0 && end.value >= 0;
  long growth = end.value - half.value;
  goals.push_back({std::string("no growth in the second half: ") + name,
                   known ? std::to_string(growth) : std::string("not reported"),
                   known && growth <= 0, true});
}

std::string mib(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f MiB", bytes / 1048576.0);
  return text;
}

void printReport(const Options& options, const Footprint (&readings)[kReadings],
                 const Workload& workload, const Responsiveness& responsiveness,
                 std::vector<Goal>& goals) {
  const char* wine = wineVersion();
  std::printf("Skyvane footprint%s%s: %d refreshes and %d searches against %s, %s\n\n",
              wine ? " under Wine " : "", wine ? wine : "", workload.refreshesDone,
              workload.searchesDone, options.service.c_str(),
              options.trayTemperature ? "the temperature in the tray icon" : "the program's icon");
  std::printf("%-40s %8s %8s %8s %8s %8s %8s\n", "", "minimal", "minimal", "Skyvane", "Skyvane",
              "Skyvane", "growth");
  std::printf("%-40s %8s %8s %8s %8s %8s %8s\n", "", "start", "end", "start", "half", "end",
              "2nd half");
  std::printf("%-40s", "private bytes (KiB)");
  for (const Footprint& reading : readings) std::printf(" %8.0f", reading.privateBytes / 1024.0);
  std::printf(
      " %+8.0f\n",
      (static_cast<double>(readings[kEnd].privateBytes) - readings[kHalf].privateBytes) / 1024.0);
  printCountRow("GDI objects", &Footprint::gdiObjects, readings);
  printCountRow("USER objects", &Footprint::userObjects, readings);
  printCountRow("handles", &Footprint::handles, readings);
  printCountRow("threads", &Footprint::threads, readings);

  double exeKiB = fileKiB(options.skyvane);
  std::printf("\n%-40s %.1f KiB (%.0f bytes)\n", "Skyvane.exe", exeKiB, exeKiB * 1024);
  if (workload.refreshesDone > 0) {
    std::printf("%-40s mean %.1f ms, longest %.1f ms\n", "refresh",
                workload.refreshTotalMs / workload.refreshesDone, workload.refreshLongestMs);
  }
  if (workload.searchesDone > 0) {
    std::printf("%-40s mean %.1f ms\n", "search: open, search, list, close",
                workload.searchTotalMs / workload.searchesDone);
  }
  if (options.slowMs > 0) {
    std::string label = "refresh against a " + std::to_string(options.slowMs) + " ms service";
    std::printf("%-40s %.1f ms\n", label.c_str(), responsiveness.refreshMs);
    std::printf("%-40s %.1f ms (idle: %.1f ms)\n", "  UI thread blocked (longest ping)",
                responsiveness.blockedMs, responsiveness.idlePingMs);
    std::printf("%-40s %.1f ms\n", "refresh against a silent connection",
                responsiveness.silentBlockedMs);
    std::printf("%-40s %.1f ms (at rest: %.1f ms)\n", "  Exit meanwhile, until the process ended",
                responsiveness.silentExitMs, responsiveness.idleExitMs);
    for (auto [what, figure] :
         {std::pair{"against a slow service", responsiveness.blockedMs},
          std::pair{"against a silent connection", responsiveness.silentBlockedMs}}) {
      char text[32];
      std::snprintf(text, sizeof text, "%.1f ms", figure);
      goals.push_back({std::string("UI thread answers within 50 ms ") + what, text,
                       figure >= 0 && figure <= kBlockedLimitMs});
    }
  }

  addGrowthGoal(goals, "GDI objects", readings[kHalf].gdiObjects, readings[kEnd].gdiObjects);
  addGrowthGoal(goals, "USER objects", readings[kHalf].userObjects, readings[kEnd].userObjects);
  // Each download runs on a thread of its own, and the platform's download
  // machinery keeps threads of its own for a while after; a thread alive at
  // one reading and gone at the other carries its own handle, which is no
  // leak. Without rest the handles are judged net of the threads.
  auto handlesBesideThreads = [](const Footprint& reading) {
    Count count = reading.handles;
    if (count.value >= 0 && reading.threads.value >= 0) count.value -= reading.threads.value;
    return count;
  };
  if (options.restMs > 0) {
    addGrowthGoal(goals, "handles", readings[kHalf].handles, readings[kEnd].handles);
  } else {
    addGrowthGoal(goals, "handles beside threads", handlesBesideThreads(readings[kHalf]),
                  handlesBesideThreads(readings[kEnd]));
  }
  for (auto [skyvane, minimal, when] :
       {std::tuple{kStart, kMinimalStart, "start"}, std::tuple{kEnd, kMinimalEnd, "end"}}) {
    double over =
        static_cast<double>(readings[skyvane].privateBytes) - readings[minimal].privateBytes;
    goals.push_back({std::string("private bytes within 2 MiB of minimal, ") + when, mib(over),
                     over <= kPrivateMarginMiB * 1048576.0});
  }
  char size[32];
  std::snprintf(size, sizeof size, "%.1f KiB", exeKiB);
  goals.push_back({"Skyvane.exe at most 400 KiB", size, exeKiB >= 0 && exeKiB <= kExeLimitKiB});

  std::printf("\n%-48s %12s  %s\n", "goal", "figure", "result");
  for (const Goal& goal : goals) {
    std::printf("%-48s %12s  %s\n", goal.name.c_str(), goal.figure.c_str(),
                goal.met ? "met" : "MISSED");
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(
        stderr,
        "usage: skyvane-footprint [--trace] [--growth-only] [--refreshes N] [--searches N] "
        "[--slow-ms MS] [--rest-ms MS] [--tray-temperature on|off] [--service URL] [--skyvane EXE] "
        "[--minimal EXE] [--skins DIR] [--work DIR]\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  CreateDirectoryA(options.work.c_str(), nullptr);

  std::string minimalFolder = options.work + "\\minimal";
  std::string skyvaneFolder = options.work + "\\skyvane";
  std::string settings =
      settingsFor(options.service + "/report/austin-tx", options.trayTemperature);
  layOutWithSettings(minimalFolder, options.minimal, "skyvane-minimal.exe", options.skins,
                     settings);
  layOutWithSettings(skyvaneFolder, options.skyvane, "Skyvane.exe", options.skins, settings);
  driver::Program minimal = startSettled(minimalFolder + "\\skyvane-minimal.exe", minimalFolder,
                                         "SkyvaneMinimal", kStepTimeoutMs);
  driver::Program skyvane =
      startSettled(skyvaneFolder + "\\Skyvane.exe", skyvaneFolder, "Skyvane", kStepTimeoutMs);
  if (!minimal.window || !skyvane.window) {
    std::fprintf(stderr, "skyvane-footprint: %s did not show its window\n",
                 minimal.window ? options.skyvane.c_str() : options.minimal.c_str());
    stopProgram(minimal);
    stopProgram(skyvane);
    return 2;
  }

  // What the first search or the first not-found box sets up once shows in
  // the first half; a leak, however slow, shows in the second as well.
  Footprint readings[kReadings];
  std::vector<Step> plan = planWorkload(options.refreshes, options.searches);
  Workload workload;
  readings[kMinimalStart] = restedMeasure(minimal, 0);
  readings[kStart] = restedMeasure(skyvane, options.restMs);
  bool worked = runSteps(skyvane, plan, 0, plan.size() / 2, options.trace, workload);
  readings[kHalf] = restedMeasure(skyvane, options.restMs);
  worked = worked && runSteps(skyvane, plan, plan.size() / 2, plan.size(), options.trace, workload);
  readings[kEnd] = restedMeasure(skyvane, options.restMs);
  readings[kMinimalEnd] = restedMeasure(minimal, 0);
  stopProgram(skyvane);
  stopProgram(minimal);

  Responsiveness responsiveness;
  if (worked && options.slowMs > 0) responsiveness = measureResponsiveness(options);

  std::vector<Goal> goals;
  printReport(options, readings, workload, responsiveness, goals);
  if (!worked) {
    std::printf("\nthe workload stopped early: %d refreshes, %d searches\n", workload.refreshesDone,
                workload.searchesDone);
    return 2;
  }
  for (const Goal& goal : goals) {
    if (!goal.met && (goal.growth || !options.growthOnly)) return 1;
  }
  return 0;
}
