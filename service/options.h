#pragma once
// Owns the service's command line: its options, their defaults and checks.

#include <optional>
#include <string>

#include "service/alerts/alert_sources.h"
#include "service/pages/routing.h"
#include "service/program_folder.h"
#include "service/weather/call_budget.h"
#include "service/weather/client_limits.h"
#include "service/weather/open_meteo_client.h"
#include "service/weather/weather_cache.h"

extern const char* const kUsage;

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
  // The alert sources, asked when the weather is live.
  std::string nwsUrl = kNwsUrl, ecccUrl = kEcccUrl;
  BudgetLimits budget;
  int threads = 64;
  ClientLimitSettings clients;
  CacheTimes cacheTimes;
  bool localOnly = false;
  std::string logFile = defaultLogPath();
};

// nullopt, after a line on standard error, when an option is unknown or bad.
std::optional<Options> parseOptions(int argc, char** argv);
