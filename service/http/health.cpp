#include "service/http/health.h"

#include <httplib.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

std::string healthReport(WeatherCache* live, CallBudget* budget, bool json) {
  std::vector<std::pair<std::string, std::string>> fields;
  fields.emplace_back("weather", live ? "\"open-meteo\"" : "\"sample\"");
  if (live) {
    CacheStats stats = live->stats();
    if (budget) {
      auto left = budget->left(live->now());
      fields.emplace_back("budget_left_minute", std::to_string(left[0]));
      fields.emplace_back("budget_left_hour", std::to_string(left[1]));
      fields.emplace_back("budget_left_day", std::to_string(left[2]));
    }
    char ratio[32];
    std::snprintf(ratio, sizeof ratio, "%.4f",
                  stats.lookups ? double(stats.fresh) / double(stats.lookups) : 0.0);
    fields.emplace_back("cache_places", std::to_string(stats.places));
    fields.emplace_back("cache_lookups", std::to_string(stats.lookups));
    fields.emplace_back("cache_hit_ratio", ratio);
    fields.emplace_back("stale_served", std::to_string(stats.stale));
    fields.emplace_back("unavailable", std::to_string(stats.unavailable));
    fields.emplace_back("upstream_calls", std::to_string(stats.upstreamCalls));
    fields.emplace_back("upstream_failures", std::to_string(stats.upstreamFailures));
    fields.emplace_back("budget_refusals", std::to_string(stats.budgetRefusals));
    fields.emplace_back("refreshes", std::to_string(stats.refreshes));
    fields.emplace_back("upstream_pauses", std::to_string(stats.pauses));
    fields.emplace_back("client_refusals", std::to_string(stats.clientRefusals));
  }
  std::string text = json ? "{" : "";
  for (const auto& [name, value] : fields) {
    if (json) {
      text += (text.size() > 1 ? ", \"" : "\"") + name + "\": " + value;
    } else {
      bool quoted = value.front() == '"';
      text += name + " " + (quoted ? value.substr(1, value.size() - 2) : value) + "\n";
    }
  }
  return json ? text + "}\n" : text;
}

}  // namespace

void installHealth(httplib::Server& server, WeatherCache* live, CallBudget* budget,
                   std::function<bool(const httplib::Request&)> allowed) {
  server.Get("/healthz", [live, budget, allowed](const httplib::Request& request,
                                                 httplib::Response& response) {
    if (allowed && !allowed(request)) {
      response.status = 404;
      return;
    }
    bool json = request.get_param_value("format") == "json" ||
                request.get_header_value("Accept").find("application/json") != std::string::npos;
    response.set_header("Cache-Control", "no-store");
    response.set_content(healthReport(live, budget, json),
                         json ? "application/json" : "text/plain; charset=utf-8");
  });
}
