#pragma once
// The httplib glue: carries out the service's answers, with their delays and
// cut connections, and logs one line per request.

#include <functional>
#include <ostream>
#include <vector>

#include "service/pages.h"

namespace httplib {
class Server;
}

struct ServiceSetup {
  const std::vector<Place>* places = nullptr;
  std::function<UnixTime()> clock;
  Faults faults;
  std::ostream* log = nullptr;       // one line per request, flushed; none when null
  const Gazetteer* world = nullptr;  // answer from the world's towns instead of `places`
};

void installService(httplib::Server& server, ServiceSetup setup);
