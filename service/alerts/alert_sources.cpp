#include "service/alerts/alert_sources.h"

#include <memory>

#include "service/weather/open_meteo_answer.h"

namespace {

bool upper(char c) { return c >= 'A' && c <= 'Z'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

std::string_view lastPart(const Place& place) {
  std::size_t comma = place.name.rfind(", ");
  return comma == std::string::npos ? std::string_view()
                                    : std::string_view(place.name).substr(comma + 2);
}

// A source over HTTP: one connection pool for its calls.
AlertSource httpSource(std::string name, std::string credit, const std::string& baseUrl,
                       const std::string& userAgent, UpstreamTimeouts timeouts,
                       std::string (*target)(double, double),
                       AlertsFetched (*parse)(int, std::string_view, std::int64_t)) {
  auto split = splitBaseUrl(baseUrl).value_or(std::pair<std::string, std::string>{});
  auto http = std::make_shared<UpstreamHttp>(split.first, userAgent, timeouts);
  AlertSource source;
  source.name = std::move(name);
  source.credit = std::move(credit);
  source.fetch = [http, path = split.second, target, parse](double latitude, double longitude,
                                                            std::int64_t now) {
    UpstreamAnswer answer =
        http->get(path + target(latitude, longitude), "application/geo+json", kMaxAlertsBytes);
    if (!answer.failure.empty()) {
      AlertsFetched failed;
      failed.error = answer.failure;
      return failed;
    }
    AlertsFetched fetched = parse(answer.status, answer.body, now);
    fetched.maxAgeS = freshnessSeconds(answer.cacheControl, answer.expires, now);
    return fetched;
  };
  // The budgets are far below what either source tolerates: a place asks
  // at most every five minutes.
  source.budget = BudgetLimits{120, 3000, 30000, 20};
  return source;
}

}  // namespace

bool inUnitedStates(const Place& place) {
  std::string_view state = lastPart(place);
  bool zip = state.size() == 8 && state[2] == ' ';
  for (std::size_t i = 3; zip && i < 8; ++i) zip = digit(state[i]);
  if (zip) state = state.substr(0, 2);
  if (state.size() != 2 || !upper(state[0]) || !upper(state[1])) return false;
  // The states and territories lie between Samoa and Guam, west to east
  // around the date line, and north of the equator but for Samoa.
  return place.latitude > -20 && place.latitude < 72 &&
         (place.longitude < -60 || place.longitude > 130);
}

bool inCanada(const Place& place) {
  return lastPart(place) == "Canada" && place.latitude > 40 && place.latitude < 85 &&
         place.longitude > -145 && place.longitude < -50;
}

AlertSource nwsSource(const std::string& baseUrl, const std::string& userAgent,
                      UpstreamTimeouts timeouts) {
  AlertSource source = httpSource(
      "nws", "Alerts from the <a href=\"https://www.weather.gov/\">National Weather Service</a>",
      baseUrl, userAgent, timeouts, nwsTarget, parseNwsAlerts);
  source.covers = inUnitedStates;
  return source;
}

AlertSource ecccSource(const std::string& baseUrl, const std::string& userAgent,
                       UpstreamTimeouts timeouts) {
  AlertSource source = httpSource("eccc", "Data Source: Environment and Climate Change Canada",
                                  baseUrl, userAgent, timeouts, ecccTarget, parseEcccAlerts);
  source.covers = inCanada;
  return source;
}
