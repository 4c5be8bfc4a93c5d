// skyvane-service: the weather service. Reads its options, builds a place
// source and the weather behind it, and runs the server.

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "service/alerts/alert_sources.h"
#include "service/alerts/alerts_cache.h"
#include "service/http/handlers.h"
#include "service/http/hardened_server.h"
#include "service/http/host_check.h"
#include "service/options.h"
#include "service/places/sample_places.h"
#include "service/program_folder.h"
#include "service/rotating_log.h"
#include "service/places/world_source.h"
#include "service/weather/call_budget.h"
#include "service/weather/client_limits.h"
#include "service/weather/open_meteo_client.h"
#include "service/weather/weather_cache.h"

namespace {

// Beside the program: the sample places, or the world's image (its text in
// a folder laid out before the image was).
std::string defaultDataFile(bool world) {
  std::error_code error;
  auto data = std::filesystem::path(programFolderPath()) / "data";
  std::vector<std::string> names = world ? std::vector<std::string>{"world.img", "world.tsv"}
                                         : std::vector<std::string>{"places.tsv"};
  for (const std::string& name : names)
    if (std::filesystem::exists(data / name, error)) return (data / name).string();
  return world ? SKYVANE_WORLD_DATA : SKYVANE_SERVICE_DATA;
}

// The places of the data file; nullopt, after a line on standard error, when
// it cannot be read whole.
std::optional<PlaceSource> loadSource(bool world, const std::string& file) {
  std::string error;
  PlaceSource source;
  if (world) {
    // The image is mapped; a data file's text is read whole (for tests).
    Gazetteer gazetteer = file.ends_with(".tsv") ? loadGazetteer(file) : mapGazetteer(file);
    error = gazetteer.error;
    source = worldSource(std::move(gazetteer));
  } else {
    PlaceData data = loadPlaces(file);
    error = data.error;
    source = sampleSource(std::move(data.places));
  }
  if (error.empty()) return source;
  std::cerr << "skyvane-service: " << error << "\n";
  return std::nullopt;
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
  auto source = loadSource(options->world, dataFile);
  if (!source) return 1;
  std::size_t count = source->count;

  // No client, and no crowd of requests waiting on the upstream, holds more
  // than half the workers.
  int half = std::max(1, options->threads / 2);
  options->clients.connections = std::min(options->clients.connections, half);
  options->cacheTimes.maxWaiting = half;
  ClientLimits clients(options->clients);
  server.guard(&clients, &std::cout);
  options->upstream.userAgent = "skyvane-service/" SKYVANE_VERSION;
  OpenMeteoClient client(options->upstream);
  CallBudget budget(options->budget);
  WeatherCache cache(
      [&client](double latitude, double longitude) { return client.fetch(latitude, longitude); },
      budget, systemMillis, options->cacheTimes, &clients);

  // The alert sources ask for a User-Agent that names the program.
  std::string alertsAgent = "skyvane-service/" SKYVANE_VERSION " (Skyvane weather widget)";
  AlertsCache alerts(
      {nwsSource(options->nwsUrl, alertsAgent), ecccSource(options->ecccUrl, alertsAgent)},
      systemMillis);

  ServiceSetup setup;
  setup.source = std::move(*source);
  setup.clients = &clients;
  std::optional<UnixTime> fixedNow = options->now;
  setup.clock = [fixedNow] { return fixedNow ? *fixedNow : systemNow(); };
  setup.faults = options->faults;
  setup.faultPrefixes = options->faultPrefixes;
  setup.log = &std::cout;
  if (options->live) {
    setup.live = &cache;
    setup.budget = &budget;
    setup.alerts = &alerts;
  }
  installHandlers(server, std::move(setup));
  if (options->localOnly) requireOwnLoopbackHost(server, port);

  std::cout << "skyvane-service: " << count << " places from " << dataFile << ", "
            << (options->live ? "live weather from " + options->upstream.baseUrl
                              : std::string("sample weather"))
            << ", listening on http://" << options->host << ':' << port << std::endl;
  return server.listen_after_bind() ? 0 : 1;
}
