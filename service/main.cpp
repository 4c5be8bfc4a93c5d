// skyvane-service: the weather service. The pages come from the service
// library, the weather from the sample model or a live upstream; this file
// reads the options and runs the server.

#include <httplib.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>

#include "service/weather/call_budget.h"
#include "service/http/hardened_server.h"
#include "service/http/host_check.h"
#include "service/program_folder.h"
#include "service/rotating_log.h"
#include "service/weather/open_meteo_client.h"
#include "service/places/gazetteer.h"
#include "service/pages/pages.h"
#include "service/places/sample_places.h"
#include "service/http/handlers.h"
#include "service/weather/weather_cache.h"
#include "service/weather/weather_model.h"

namespace {

const char* kUsage =
    "usage: skyvane-service [--listen HOST:PORT] [--places sample|world] [--data FILE]\n"
    "                       [--now YYYY-MM-DDTHH:MM:SSZ] [--weather sample|open-meteo]\n"
    "                       [--open-meteo-url URL] [--open-meteo-key KEY] [--budget-minute N]\n"
    "                       [--budget-hour N] [--budget-day N] [--threads N] [--faults]\n"
    "                       [--delay-ms MS] [--fault /PREFIX...] [--local-only] [--log FILE]\n"
    "  --listen          address to listen on (default 127.0.0.1:8642; port 0 picks a free one)\n"
    "  --places          sample: the sample places (default); world: the world's towns and US\n"
    "                    ZIP codes\n"
    "  --data            places file (default: data/places.tsv, or data/world.tsv with --places\n"
    "                    world, beside the program, else the sample one in the sources)\n"
    "  --now             a fixed clock for the sample weather instead of the system's\n"
    "  --weather         sample (default, offline) or open-meteo (live current conditions)\n"
    "  --open-meteo-url  the forecast server (default https://api.open-meteo.com)\n"
    "  --open-meteo-key  an API key, sent as apikey\n"
    "  --budget-*        upstream calls allowed per minute, hour, day (default 599, 4999, 9999)\n"
    "  --threads         worker threads (default 64)\n"
    "  --faults          let links carry fault prefixes (/slow/MS, /status/CODE, /cut...)\n"
    "  --delay-ms        wait this long before every answer (at most 60000)\n"
    "  --fault           fault prefixes applied to every request, e.g. /status/500 or "
    "/slow/2000/cut\n"
    "  --local-only      for a service on the user's own PC: answer only requests addressed\n"
    "                    to 127.0.0.1:PORT or localhost:PORT (listening on 127.0.0.1)\n"
    "  --log FILE        log there, rotated past 1 MiB, instead of to standard output (on\n"
    "                    Windows: Temp\\skyvane-service.log beside the program)\n";

struct Options {
  std::string host = "127.0.0.1";
  int port = 8642;
  std::string dataFile;
  bool world = false;
  std::optional<UnixTime> now;
  Faults faults;
  bool faultPrefixes = false;
  bool live = false;
  UpstreamConfig upstream;
  BudgetLimits budget;
  int threads = 64;
  bool localOnly = false;
  std::string logFile = defaultLogPath();
};

std::string defaultDataFile(bool world) {
  std::error_code error;
  auto beside =
      std::filesystem::path(programFolderPath()) / "data" / (world ? "world.tsv" : "places.tsv");
  if (std::filesystem::exists(beside, error)) return beside.string();
  return world ? SKYVANE_WORLD_DATA : SKYVANE_SERVICE_DATA;
}

bool parseNumber(const std::string& text, long max, int& number) {
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end || value < 0 || value > max) return false;
  number = int(value);
  return true;
}

std::optional<Options> parseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; i += 2) {
    std::string name = argv[i], value = i + 1 < argc ? argv[i + 1] : "";
    bool ok = i + 1 < argc;
    if (name == "--faults") {
      options.faultPrefixes = true;
      --i;  // takes no value
      continue;
    }
    if (name == "--local-only") {
      options.localOnly = true;
      --i;
      continue;
    }
    if (!ok) {
    } else if (name == "--listen") {
      auto colon = value.rfind(':');
      options.host = value.substr(0, colon);
      ok = colon != std::string::npos && parseNumber(value.substr(colon + 1), 65535, options.port);
    } else if (name == "--places") {
      options.world = value == "world";
      ok = options.world || value == "sample";
    } else if (name == "--data") {
      options.dataFile = value;
    } else if (name == "--now") {
      ok = (options.now = parseUtc(value)).has_value();
    } else if (name == "--delay-ms") {
      ok = parseNumber(value, kMaxDelayMs, options.faults.delayMs);
    } else if (name == "--fault") {
      ok = takeFaults(value, options.faults) == "/";
    } else if (name == "--weather") {
      ok = value == "sample" || value == "open-meteo";
      options.live = value == "open-meteo";
    } else if (name == "--open-meteo-url") {
      options.upstream.baseUrl = value;
      ok = splitBaseUrl(value).has_value();
    } else if (name == "--open-meteo-key") {
      options.upstream.apiKey = value;
    } else if (name == "--budget-minute") {
      ok = parseNumber(value, 1000000, options.budget.perMinute);
    } else if (name == "--budget-hour") {
      ok = parseNumber(value, 1000000, options.budget.perHour);
    } else if (name == "--budget-day") {
      ok = parseNumber(value, 1000000, options.budget.perDay);
    } else if (name == "--log") {
      options.logFile = value;
    } else if (name == "--threads") {
      ok = parseNumber(value, 1024, options.threads) && options.threads > 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "skyvane-service: bad option " << name << " " << value << "\n";
      return std::nullopt;
    }
  }
  if (options.localOnly && options.host != "127.0.0.1") {
    std::cerr << "skyvane-service: --local-only listens on 127.0.0.1 only\n";
    return std::nullopt;
  }
  return options;
}

UnixTime systemNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Millis systemMillis() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char** argv) {
  auto options = parseOptions(argc, argv);
  // Lives as long as the process: the standard streams write to it up to
  // the very end.
  std::string logFile = options ? options->logFile : defaultLogPath();
  if (!logFile.empty()) logStandardStreams(*new RotatingLog(logFile));
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  // The port first: it is taken, and connections queue, while the places
  // load; a widget waiting for its service sees it at once.
  ServerLimits limits;
  limits.workers = options->threads;
  HardenedServer server(limits);
  int port = server.bindWithBacklog(options->host, options->port);
  if (port <= 0) {
    std::cerr << "skyvane-service: cannot listen on " << options->host << ":" << options->port
              << "\n";
    return 1;
  }
  std::string dataFile =
      options->dataFile.empty() ? defaultDataFile(options->world) : options->dataFile;
  PlaceData data;
  Gazetteer world;
  if (options->world) {
    world = loadGazetteer(dataFile);
    data.error = world.error;
  } else {
    data = loadPlaces(dataFile);
  }
  if (!data.error.empty()) {
    std::cerr << "skyvane-service: " << data.error << "\n";
    return 1;
  }
  std::size_t count = options->world ? world.places.size() : data.places.size();

  std::optional<UnixTime> fixedNow = options->now;
  ServiceSetup setup{&data.places, [fixedNow] { return fixedNow ? *fixedNow : systemNow(); },
                     options->faults, &std::cout, options->world ? &world : nullptr};
  setup.faultPrefixes = options->faultPrefixes;

  options->upstream.userAgent = "skyvane-service/" SKYVANE_VERSION;
  OpenMeteoClient client(options->upstream);
  CallBudget budget(options->budget);
  WeatherCache cache(
      [&client](double latitude, double longitude) { return client.fetch(latitude, longitude); },
      budget, systemMillis);
  if (options->live) {
    setup.live = &cache;
    setup.budget = &budget;
  }
  installService(server, std::move(setup));

  if (options->localOnly) requireOwnLoopbackHost(server, port);
  std::cout << "skyvane-service: " << count << " places from " << dataFile << ", "
            << (options->live ? "live weather from " + options->upstream.baseUrl
                              : std::string("sample weather"))
            << ", listening on http://" << options->host << ':' << port << std::endl;
  return server.listen_after_bind() ? 0 : 1;
}
