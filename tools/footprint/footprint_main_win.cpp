// skyvane-footprint: the program's memory, GDI, USER and handle counts beside
// those of a minimal Win32 program, before and after a long stretch of use
// (refreshes and searches against the sample service), and how long a slow
// refresh holds up its user-interface thread. Prints a table; exits 1 when a
// goal is missed and 2 when the run itself failed.
//
//   skyvane-footprint [--refreshes N] [--searches N] [--slow-ms MS]
//                     [--service URL] [--skyvane EXE] [--minimal EXE]
//                     [--skins DIR] [--work DIR]
//
// --slow-ms 0 leaves out the responsiveness run.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "drive_win.h"
#include "probe_win.h"

namespace {

struct Options {
  int refreshes = 1000;
  int searches = 100;
  int slowMs = 2000;
  std::string service = SKYVANE_SERVICE_BASE_URL;
  std::string skyvane = SKYVANE_EXE;
  std::string minimal = MINIMAL_EXE;
  std::string skins = SKYVANE_SKINS;
  std::string work;
  bool trace = false;
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
  for (; i < argc && std::string(argv[i]) == "--trace"; ++i) options.trace = true;
  for (; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    std::string value = argv[i + 1];
    if (name == "--refreshes") {
      options.refreshes = std::atoi(value.c_str());
    } else if (name == "--searches") {
      options.searches = std::atoi(value.c_str());
    } else if (name == "--slow-ms") {
      options.slowMs = std::atoi(value.c_str());
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

std::string settingsFor(const std::string& reportUrl) {
  return "[General]\r\nURL0=" + reportUrl + "\r\nCity0=Austin, TX\r\nMetric=f\r\n";
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

// Lets a freshly started or freshly worked program come to rest: its queue
// answers, and whatever it posted to itself has run.
Footprint settledMeasure(const Program& program) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &ignored);
  Sleep(1000);
  SendMessageTimeoutA(program.window, WM_NULL, 0, 0, SMTO_NORMAL, kStepTimeoutMs, &ignored);
  return measure(program.process.hProcess);
}

struct Workload {
  int refreshesDone = 0;
  int searchesDone = 0;
  double refreshTotalMs = 0;
  double refreshLongestMs = 0;
  double searchTotalMs = 0;
};

// Refreshes with the searches spread evenly among them; every tenth search
// commits its first entry, which also rewrites the settings and slides the
// window in. False as soon as a step fails.
// With `trace`, the counts after every step that changed one of them.
void traceStep(const Program& program, const std::string& step, Footprint& last) {
  Footprint now = measure(program.process.hProcess);
  if (now.gdiObjects.value == last.gdiObjects.value &&
      now.userObjects.value == last.userObjects.value && now.handles.value == last.handles.value) {
    return;
  }
  std::fprintf(stderr, "%-28s gdi %ld, user %ld, handles %ld, private %.0f KiB\n", step.c_str(),
               now.gdiObjects.value, now.userObjects.value, now.handles.value,
               now.privateBytes / 1024.0);
  last = now;
}

bool runWorkload(const Program& program, int refreshes, int searches, bool trace, Workload& done) {
  Footprint last;
  int every = searches > 0 ? (refreshes > searches ? refreshes / searches : 1) : 0;
  int queryCount = static_cast<int>(sizeof kQueries / sizeof kQueries[0]);
  for (int i = 0; i < refreshes || done.searchesDone < searches; ++i) {
    if (i < refreshes) {
      double took = refreshOnce(program.window, kStepTimeoutMs);
      if (took < 0) {
        std::fprintf(stderr, "refresh %d did not return\n", i + 1);
        return false;
      }
      ++done.refreshesDone;
      done.refreshTotalMs += took;
      if (took > done.refreshLongestMs) done.refreshLongestMs = took;
      if (trace) traceStep(program, "refresh " + std::to_string(i + 1), last);
    }
    bool searchNow = every > 0 && (i + 1) % every == 0;
    if ((searchNow || i >= refreshes) && done.searchesDone < searches) {
      int n = done.searchesDone;
      double start = nowMs();
      if (!searchOnce(program, kQueries[n % queryCount], n % 10 == 9, kStepTimeoutMs)) {
        std::fprintf(stderr, "search %d (\"%s\") did not complete\n", n + 1,
                     kQueries[n % queryCount]);
        return false;
      }
      done.searchTotalMs += nowMs() - start;
      ++done.searchesDone;
      if (trace) traceStep(program, std::string("search ") + kQueries[n % queryCount], last);
    }
  }
  return true;
}

struct Responsiveness {
  double idlePingMs = -1;
  double refreshMs = -1;  // how long the refresh's own message took
  double blockedMs = -1;  // the longest ping while it ran
};

// A program whose report link answers after `slowMs`: a refresh is posted as
// the timer posts it, and pings measure how long the thread does not answer.
Responsiveness measureResponsiveness(const Options& options) {
  Responsiveness result;
  std::string folder = options.work + "\\slow";
  std::string report =
      options.service + "/slow/" + std::to_string(options.slowMs) + "/report/austin-tx";
  layOutInstalledFolder(folder, options.skyvane, "Skyvane.exe", options.skins, settingsFor(report));
  Program program =
      startProgram(folder + "\\Skyvane.exe", folder, "Skyvane", kStepTimeoutMs + options.slowMs);
  if (!program.window) {
    stopProgram(program);
    return result;
  }
  result.idlePingMs = longestPing(program.window, 1000, 10);
  constexpr int kRounds = 3;
  for (int round = 0; round < kRounds; ++round) {
    PostMessageA(program.window, WM_TIMER, 2, 0);
    double blocked = longestPing(program.window, options.slowMs + 2000, 10);
    if (blocked > result.blockedMs) result.blockedMs = blocked;
    double took = refreshOnce(program.window, kStepTimeoutMs + options.slowMs);
    if (took > result.refreshMs) result.refreshMs = took;
  }
  stopProgram(program);
  return result;
}

std::string countText(const Count& count) {
  return count.value < 0 ? "n/a" : std::to_string(count.value);
}

void printCountRow(const char* name, const Count Footprint::*field, const Footprint (&all)[4]) {
  std::string label = std::string(name) + " [" + (all[2].*field).source + "]";
  std::printf("%-44s %9s %9s %9s %9s %+9ld\n", label.c_str(), countText(all[0].*field).c_str(),
              countText(all[1].*field).c_str(), countText(all[2].*field).c_str(),
              countText(all[3].*field).c_str(), (all[3].*field).value - (all[2].*field).value);
}

struct Goal {
  std::string name;
  std::string figure;
  bool met;
};

void addGrowthGoal(std::vector<Goal>& goals, const char* name, const Count& before,
                   const Count& after) {
  bool known = before.value >= 0 && after.value >= 0;
  long growth = after.value - before.value;
  goals.push_back({std::string("no growth: ") + name,
                   known ? std::to_string(growth) : std::string("not reported"),
                   known && growth <= 0});
}

std::string mib(double bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.2f MiB", bytes / 1048576.0);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!parseOptions(argc, argv, options)) {
    std::fprintf(stderr,
                 "usage: skyvane-footprint [--refreshes N] [--searches N] [--slow-ms MS] "
                 "[--service URL] [--skyvane EXE] [--minimal EXE] [--skins DIR] [--work DIR]\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  CreateDirectoryA(options.work.c_str(), nullptr);

  std::string minimalFolder = options.work + "\\minimal";
  std::string skyvaneFolder = options.work + "\\skyvane";
  std::string settings = settingsFor(options.service + "/report/austin-tx");
  layOutInstalledFolder(minimalFolder, options.minimal, "skyvane-minimal.exe", options.skins,
                        settings);
  layOutInstalledFolder(skyvaneFolder, options.skyvane, "Skyvane.exe", options.skins, settings);

  Program minimal = startProgram(minimalFolder + "\\skyvane-minimal.exe", minimalFolder,
                                 "SkyvaneMinimal", kStepTimeoutMs);
  Program skyvane =
      startProgram(skyvaneFolder + "\\Skyvane.exe", skyvaneFolder, "Skyvane", kStepTimeoutMs);
  if (!minimal.window || !skyvane.window) {
    std::fprintf(stderr, "skyvane-footprint: %s did not show its window\n",
                 minimal.window ? options.skyvane.c_str() : options.minimal.c_str());
    stopProgram(minimal);
    stopProgram(skyvane);
    return 2;
  }

  // Columns: minimal at start, minimal at the end, Skyvane at start, Skyvane
  // after the workload.
  Footprint readings[4];
  readings[0] = settledMeasure(minimal);
  readings[2] = settledMeasure(skyvane);
  Workload workload;
  bool worked = runWorkload(skyvane, options.refreshes, options.searches, options.trace, workload);
  readings[3] = settledMeasure(skyvane);
  readings[1] = settledMeasure(minimal);
  stopProgram(skyvane);
  stopProgram(minimal);

  Responsiveness responsiveness;
  if (worked && options.slowMs > 0) responsiveness = measureResponsiveness(options);

  const char* wine = wineVersion();
  std::printf("Skyvane footprint%s%s: %d refreshes and %d searches against %s\n\n",
              wine ? " under Wine " : "", wine ? wine : "", workload.refreshesDone,
              workload.searchesDone, options.service.c_str());
  std::printf("%-44s %9s %9s %9s %9s %9s\n", "", "minimal", "minimal", "Skyvane", "Skyvane",
              "Skyvane");
  std::printf("%-44s %9s %9s %9s %9s %9s\n", "", "start", "end", "start", "end", "growth");
  std::printf("%-44s %9.0f %9.0f %9.0f %9.0f %+9.0f\n", "private bytes (KiB)",
              readings[0].privateBytes / 1024.0, readings[1].privateBytes / 1024.0,
              readings[2].privateBytes / 1024.0, readings[3].privateBytes / 1024.0,
              (static_cast<double>(readings[3].privateBytes) - readings[2].privateBytes) / 1024.0);
  printCountRow("GDI objects", &Footprint::gdiObjects, readings);
  printCountRow("USER objects", &Footprint::userObjects, readings);
  printCountRow("handles", &Footprint::handles, readings);

  double exeKiB = fileKiB(options.skyvane);
  std::printf("\n%-44s %.1f KiB (%.0f bytes)\n", "Skyvane.exe size", exeKiB, exeKiB * 1024);
  if (workload.refreshesDone > 0) {
    std::printf("%-44s mean %.1f ms, longest %.1f ms\n", "refresh against the service",
                workload.refreshTotalMs / workload.refreshesDone, workload.refreshLongestMs);
  }
  if (workload.searchesDone > 0) {
    std::printf("%-44s mean %.1f ms\n", "search: open, search, list, close",
                workload.searchTotalMs / workload.searchesDone);
  }
  if (options.slowMs > 0) {
    std::printf("%-44s %.1f ms\n", "longest ping, idle", responsiveness.idlePingMs);
    std::string label = "refresh against a " + std::to_string(options.slowMs) + " ms service";
    std::printf("%-44s %.1f ms\n", label.c_str(), responsiveness.refreshMs);
    std::printf("%-44s %.1f ms\n", "  UI thread blocked (longest ping)", responsiveness.blockedMs);
  }

  std::vector<Goal> goals;
  addGrowthGoal(goals, "GDI objects", readings[2].gdiObjects, readings[3].gdiObjects);
  addGrowthGoal(goals, "USER objects", readings[2].userObjects, readings[3].userObjects);
  addGrowthGoal(goals, "handles", readings[2].handles, readings[3].handles);
  double margin = kPrivateMarginMiB * 1048576.0;
  for (int at : {2, 3}) {
    double over = static_cast<double>(readings[at].privateBytes) - readings[at - 2].privateBytes;
    goals.push_back(
        {std::string("private bytes within 2 MiB of minimal, ") + (at == 2 ? "start" : "end"),
         mib(over), over <= margin});
  }
  char size[32];
  std::snprintf(size, sizeof size, "%.1f KiB", exeKiB);
  goals.push_back({"Skyvane.exe at most 400 KiB", size, exeKiB >= 0 && exeKiB <= kExeLimitKiB});

  std::printf("\n%-44s %12s  %s\n", "goal", "figure", "result");
  bool allMet = true;
  for (const Goal& goal : goals) {
    std::printf("%-44s %12s  %s\n", goal.name.c_str(), goal.figure.c_str(),
                goal.met ? "met" : "MISSED");
    allMet = allMet && goal.met;
  }
  if (!worked) {
    std::printf("\nthe workload stopped early: %d refreshes, %d searches\n", workload.refreshesDone,
                workload.searchesDone);
    return 2;
  }
  return allMet ? 0 : 1;
}
