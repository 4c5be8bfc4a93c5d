#include "service/options.h"

#include <iostream>

#include "service/places/query_text.h"
#include "service/weather/weather_model.h"

const char* const kUsage =
    "usage: skyvane-service [--listen HOST:PORT] [--places sample|world] [--data FILE]\n"
    "                       [--now YYYY-MM-DDTHH:MM:SSZ] [--weather sample|open-meteo]\n"
    "                       [--open-meteo-url URL] [--open-meteo-key KEY] [--budget-minute N]\n"
    "                       [--budget-hour N] [--budget-day N] [--threads N] [--faults]\n"
    "                       [--delay-ms MS] [--fault /PREFIX...] [--trusted-proxy ADDRESS...]\n"
    "                       [--client-calls N] [--client-calls-hour N] [--client-connections N]\n"
    "                       [--fresh-seconds N] [--local-only] [--log FILE]\n"
    "                       [--nws-url URL] [--eccc-url URL]\n"
    "  --listen          address to listen on (default 127.0.0.1:8642; port 0 picks a free one)\n"
    "  --places          sample: the sample places (default); world: the world's towns and US\n"
    "                    ZIP codes\n"
    "  --data            places file (default: data/places.tsv, or the image data/world.img with\n"
    "                    --places world, beside the program, else the build's; a world .tsv is\n"
    "                    read as text)\n"
    "  --now             a fixed clock for the sample weather instead of the system's\n"
    "  --weather         sample (default, offline) or open-meteo (live current conditions)\n"
    "  --open-meteo-url  the forecast server (default https://api.open-meteo.com)\n"
    "  --open-meteo-key  an API key, sent as apikey\n"
    "  --nws-url         the US alerts server, asked with live weather (default\n"
    "                    https://api.weather.gov)\n"
    "  --eccc-url        the Canadian alerts server, likewise (default\n"
    "                    https://api.weather.gc.ca)\n"
    "  --budget-*        upstream calls allowed per minute, hour, day (default 599, 4999, 9999)\n"
    "  --threads         worker threads (default 64)\n"
    "  --faults          let links carry fault prefixes (/slow/MS, /status/CODE, /cut...)\n"
    "  --delay-ms        wait this long before every answer (at most 60000)\n"
    "  --fault           fault prefixes applied to every request, e.g. /status/500 or "
    "/slow/2000/cut\n"
    "  --trusted-proxy   a proxy whose X-Forwarded-For names the client (repeatable)\n"
    "  --client-calls    upstream calls one client may cause at once (default 20)...\n"
    "  --client-calls-hour  ...and then per hour (default 60)\n"
    "  --client-connections  open connections per client network (default 16, at most half\n"
    "                    the threads)\n"
    "  --fresh-seconds   how long a live reading stays fresh (default 600)\n"
    "  --local-only      for a service on the user's own PC: answer only requests addressed\n"
    "                    to 127.0.0.1:PORT or localhost:PORT (listening on 127.0.0.1)\n"
    "  --log FILE        log there, rotated past 1 MiB, instead of to standard output (on\n"
    "                    Windows: Temp\\skyvane-service.log beside the program)\n";

namespace {

// A whole number from 0 to `max`.
bool parseCount(const std::string& text, int max, int& number) {
  int value = 0;
  if (!parseNumber(std::string_view(text), value) || value < 0 || value > max) return false;
  number = value;
  return true;
}

}  // namespace

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
      ok = colon != std::string::npos && parseCount(value.substr(colon + 1), 65535, options.port);
    } else if (name == "--places") {
      options.world = value == "world";
      ok = options.world || value == "sample";
    } else if (name == "--data") {
      options.dataFile = value;
    } else if (name == "--now") {
      ok = (options.now = parseUtc(value)).has_value();
    } else if (name == "--delay-ms") {
      ok = parseCount(value, kMaxDelayMs, options.faults.delayMs);
    } else if (name == "--fault") {
      ok = takeFaults(value, options.faults) == "/";
    } else if (name == "--weather") {
      ok = value == "sample" || value == "open-meteo";
      options.live = value == "open-meteo";
    } else if (name == "--open-meteo-url") {
      options.upstream.baseUrl = value;
      ok = splitBaseUrl(value).has_value();
    } else if (name == "--nws-url") {
      options.nwsUrl = value;
      ok = splitBaseUrl(value).has_value();
    } else if (name == "--eccc-url") {
      options.ecccUrl = value;
      ok = splitBaseUrl(value).has_value();
    } else if (name == "--open-meteo-key") {
      options.upstream.apiKey = value;
    } else if (name == "--budget-minute") {
      ok = parseCount(value, 1000000, options.budget.perMinute);
    } else if (name == "--budget-hour") {
      ok = parseCount(value, 1000000, options.budget.perHour);
    } else if (name == "--budget-day") {
      ok = parseCount(value, 1000000, options.budget.perDay);
    } else if (name == "--fresh-seconds") {
      int seconds = 0;
      ok = parseCount(value, 86400, seconds) && seconds > 0;
      options.cacheTimes.fresh = Millis(seconds) * 1000;
    } else if (name == "--trusted-proxy") {
      options.clients.trustedProxies.push_back(value);
    } else if (name == "--client-calls") {
      ok = parseCount(value, 1000000, options.clients.callBurst);
    } else if (name == "--client-calls-hour") {
      ok = parseCount(value, 1000000, options.clients.callsPerHour);
    } else if (name == "--client-connections") {
      ok =
          parseCount(value, 100000, options.clients.connections) && options.clients.connections > 0;
    } else if (name == "--log") {
      options.logFile = value;
    } else if (name == "--threads") {
      ok = parseCount(value, 1024, options.threads) && options.threads > 0;
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
