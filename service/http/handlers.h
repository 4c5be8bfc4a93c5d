#pragma once
// Owns the httplib glue: carries out the routing's answers, with their
// delays and cut connections, answers "/healthz", and logs one line per
// request through httplib's logger.

#include <functional>
#include <ostream>

#include "service/alerts/alerts_cache.h"
#include "service/pages/routing.h"
#include "service/places/place.h"
#include "service/weather/call_budget.h"
#include "service/weather/client_limits.h"
#include "service/weather/weather_cache.h"

namespace httplib {
class Server;
}

struct ServiceSetup {
  PlaceSource source;
  std::function<UnixTime()> clock;
  Faults faults;
  std::ostream* log = nullptr;      // one line per request, flushed; none when null
  bool faultPrefixes = false;       // whether clients may ask for faults in the link
  WeatherCache* live = nullptr;     // live weather instead of the sample model
  CallBudget* budget = nullptr;     // the live weather's budget, for /healthz
  ClientLimits* clients = nullptr;  // who a request stands for, and each one's share
  AlertsCache* alerts = nullptr;    // the alerts beside live weather; none when null
};

void installHandlers(httplib::Server& server, ServiceSetup setup);
