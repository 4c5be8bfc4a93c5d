#pragma once
// Owns "/healthz": the live weather's budget left, the cache's size and hit
// ratio and the upstream's failures, as lines of "name value" or JSON.

#include <functional>

#include "service/weather/call_budget.h"
#include "service/weather/weather_cache.h"

namespace httplib {
class Server;
struct Request;
}  // namespace httplib

// `live` and `budget` are null for the sample weather; a request that
// `allowed` refuses gets 404.
void installHealth(httplib::Server& server, WeatherCache* live, CallBudget* budget,
                   std::function<bool(const httplib::Request&)> allowed);
