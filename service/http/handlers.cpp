#include "service/http/handlers.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "service/http/request_log.h"
#include "service/places/canonical_link.h"

namespace {

const char* kHtml = "text/html; charset=windows-1252";

std::string clientOf(const ServiceSetup& setup, const httplib::Request& request) {
  if (!setup.clients) return request.remote_addr;
  return setup.clients->clientOf(request.remote_addr, request.get_header_value("X-Forwarded-For"),
                                 request.get_header_value("X-Real-IP"));
}

void logRequest(std::ostream* log, const httplib::Request& request, int status, std::size_t bytes) {
  ::logRequest(log, request.remote_addr, request.method, request.target, status, bytes);
}

Answer liveReport(WeatherCache& cache, const Place& place, const std::string& client) {
  Lookup found = cache.get(place.latitude, place.longitude, client);
  if (!found.reading) return {503, unavailablePage(place), 0, false, cache_control::kNone};
  UnixTime fetched = found.fetchedAt / 1000;
  Answer answer{
      200,
      liveReportPage(place, wholeDegrees(found.reading->temperatureF),
                     wholeDegrees(found.reading->feelsLikeF), fetched, found.how == Served::Stale),
      0, false, cache_control::kReport};
  // A cache in front keeps the page as long as the reading stays fresh, so
  // it asks again when the service would.
  answer.maxAge = int(found.keepFor / 1000);
  answer.age = int(std::max<Millis>(0, cache.now() - found.fetchedAt) / 1000);
  return answer;
}

}  // namespace

std::string healthReport(const ServiceSetup& setup, bool json) {
  std::vector<std::pair<std::string, std::string>> fields;
  fields.emplace_back("weather", setup.live ? "\"open-meteo\"" : "\"sample\"");
  if (setup.live) {
    CacheStats stats = setup.live->stats();
    if (setup.budget) {
      auto left = setup.budget->left(setup.live->now());
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

void installService(httplib::Server& server, ServiceSetup setup) {
  auto shared = std::make_shared<ServiceSetup>(std::move(setup));
  Routing routing;
  routing.defaults = shared->faults;
  routing.faultPrefixes = shared->faultPrefixes;
  routing.live = shared->live != nullptr;
  routing.world = shared->world;
  if (shared->world && shared->worldIndex)
    routing.canonical = [world = shared->world, index = shared->worldIndex](
                            std::string_view path, std::string_view query) {
      return canonicalAnswer(*world, *index, path, query);
    };

  server.Get("/healthz", [shared](const httplib::Request& request, httplib::Response& response) {
    // The service's state is for its operators: loopback and trusted proxies only.
    std::string client = clientOf(*shared, request);
    bool trusted = shared->clients && shared->clients->isTrustedProxy(client);
    bool loopback =
        client.starts_with("127.") || client.starts_with("::ffff:127.") || client == "::1";
    if (!trusted && !loopback) {
      response.status = 404;
      return;
    }
    bool json = request.get_param_value("format") == "json" ||
                request.get_header_value("Accept").find("application/json") != std::string::npos;
    response.set_header("Cache-Control", "no-store");
    response.set_content(healthReport(*shared, json),
                         json ? "application/json" : "text/plain; charset=utf-8");
    logRequest(shared->log, request, response.status, response.body.size());
  });
  auto answer = [shared, routing](const httplib::Request& request, httplib::Response& response) {
    const ServiceSetup& s = *shared;
    Routing asked = routing;
    if (WeatherCache* cache = s.live)
      asked.report = [cache, client = clientOf(s, request)](const Place& place, UnixTime) {
        return liveReport(*cache, place, client);
      };
    Answer answer = answerRequest(*s.places, request.target, s.clock(), asked);
    if (answer.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
    response.status = answer.status;
    if (answer.maxAge >= 0 && answer.cacheControl == cache_control::kReport) {
      response.set_header("Cache-Control", "public, max-age=" + std::to_string(answer.maxAge) +
                                               ", stale-if-error=10800");
      response.set_header("Age", std::to_string(answer.age));
    } else {
      response.set_header("Cache-Control", answer.cacheControl);
    }
    if (!answer.location.empty()) response.set_header("Location", answer.location);
    logRequest(s.log, request, answer.status,
               answer.cut ? answer.body.size() / 2 : answer.body.size());
    if (!answer.cut) {
      response.set_content(std::move(answer.body), kHtml);
      return;
    }
    // Promise the whole page, send half of it, then fail the write: the
    // server drops the connection mid-body.
    auto body = std::make_shared<std::string>(std::move(answer.body));
    response.set_content_provider(body->size(), kHtml,
                                  [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                    std::size_t half = body->size() / 2;
                                    if (offset < half)
                                      sink.write(body->data() + offset, half - offset);
                                    return offset < half;
                                  });
  };
  server.Get(".*", answer);
  // Requests the handler never saw (a malformed request line, an overlong
  // link) still get a small page.
  httplib::Server::HandlerWithResponse errorPage = [shared, answer](const httplib::Request& request,
                                                                    httplib::Response& response) {
    if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    // httplib refuses a link with a second '?' before any handler sees it, but
    // the program sends a '?' in a query raw (and Wine turns letters it cannot
    // convert into '?'): such a query gets its page like any other.
    const std::string& target = request.target;
    if (response.status == 400 && request.method == "GET" &&
        std::count(target.begin(), target.end(), '?') > 1) {
      answer(request, response);
      return httplib::Server::HandlerResponse::Handled;
    }
    response.set_header("Cache-Control", "no-store");
    std::string code = std::to_string(response.status);
    response.set_content("<!DOCTYPE html>\n<html><head><title>Error " + code +
                             "</title></head><body><h1>Error " + code + "</h1></body></html>\n",
                         kHtml);
    logRequest(shared->log, request, response.status, response.body.size());
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(errorPage);
}
