#pragma once
// The httplib glue: carries out the service's answers, with their delays and
// cut connections, and logs one line per request.

#include <functional>
#include <ostream>
#include <vector>

#include "service/pages/pages.h"
#include "service/http/client_limits.h"
#include "service/weather/weather_cache.h"

struct CoordinateIndex;

namespace httplib {
class Server;
}

struct ServiceSetup {
  const std::vector<Place>* places = nullptr;
  std::function<UnixTime()> clock;
  Faults faults;
  std::ostream* log = nullptr;                  // one line per request, flushed; none when null
  const Gazetteer* world = nullptr;             // answer from the world's towns instead of `places`
  bool faultPrefixes = true;                    // whether clients may ask for faults in the link
  WeatherCache* live = nullptr;                 // live weather instead of the sample model
  CallBudget* budget = nullptr;                 // the live weather's budget, for /healthz
  ClientLimits* clients = nullptr;              // who a request stands for, and each one's share
  const CoordinateIndex* worldIndex = nullptr;  // one link per world place
};

// The answer to "/healthz": the budget left, the cache's size and hit ratio,
// the upstream's failures; JSON when `json`, else lines of "name value".
std::string healthReport(const ServiceSetup& setup, bool json);

void installService(httplib::Server& server, ServiceSetup setup);
