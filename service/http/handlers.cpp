#include "service/http/handlers.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "service/alerts/alerts_page.h"
#include "service/http/health.h"
#include "service/http/request_log.h"

namespace {

const char* kHtml = "text/html; charset=windows-1252";

// The longest a report waits, after its weather, for its place's alerts:
// a slow source leaves them to the next request.
constexpr Millis kAlertsWaitMs = 1'000;

std::string clientOf(const ServiceSetup& setup, const httplib::Request& request) {
  if (!setup.clients) return request.remote_addr;
  return setup.clients->clientOf(request.remote_addr, request.get_header_value("X-Forwarded-For"),
                                 request.get_header_value("X-Real-IP"));
}

// The body's bytes; for a cut answer, the length it promised.
std::size_t bodyBytes(const httplib::Response& response) {
  if (!response.body.empty()) return response.body.size();
  return std::strtoull(response.get_header_value("Content-Length").c_str(), nullptr, 10);
}

Answer liveReport(WeatherCache& cache, AlertsCache* alerts, const Place& place,
                  const std::string& client) {
  // The alerts' call, when one is due, runs while the weather is fetched.
  if (alerts) alerts->get(place, 0);
  Lookup found = cache.get(place.latitude, place.longitude, client);
  if (!found.reading) return {503, unavailablePage(place), 0, false, cache_control::kNone};
  UnixTime fetched = found.fetchedAt / 1000;
  AlertsLookup warned = alerts ? alerts->get(place, kAlertsWaitMs) : AlertsLookup{};
  std::string page =
      liveReportPage(place, found.reading->temperatureF, found.reading->feelsLikeF, fetched,
                     observedTime(*found.reading, fetched), found.how == Served::Stale,
                     found.reading->outlook, alertsMarkup(warned, found.reading->utcOffsetS));
  Answer answer{200, std::move(page), 0, false, cache_control::kReport};
  // A cache in front keeps the page as long as the reading stays fresh, so
  // it asks again when the service would.
  answer.maxAge = int(found.keepFor / 1000);
  if (warned.source) answer.maxAge = std::min(answer.maxAge, int(warned.keepFor / 1000));
  answer.age = int(std::max<Millis>(0, cache.now() - found.fetchedAt) / 1000);
  return answer;
}

// Sends the routing's answer, with its delay; a cut answer promises the whole
// page, sends half of it, then fails the write, so the server drops the
// connection mid-body.
void carryOut(Answer answer, httplib::Response& response) {
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
  if (!answer.cut) {
    response.set_content(std::move(answer.body), kHtml);
    return;
  }
  auto body = std::make_shared<std::string>(std::move(answer.body));
  response.set_content_provider(body->size(), kHtml,
                                [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                  std::size_t half = body->size() / 2;
                                  if (offset < half)
                                    sink.write(body->data() + offset, half - offset);
                                  return offset < half;
                                });
}

Routing routingOf(const ServiceSetup& setup) {
  Routing routing;
  routing.defaults = setup.faults;
  routing.faultPrefixes = setup.faultPrefixes;
  routing.live = setup.live != nullptr;
  return routing;
}

}  // namespace

void installHandlers(httplib::Server& server, ServiceSetup setup) {
  auto shared = std::make_shared<ServiceSetup>(std::move(setup));
  Routing routing = routingOf(*shared);
  if (std::ostream* log = shared->log)
    server.set_logger([log](const httplib::Request& request, const httplib::Response& response) {
      logRequest(log, request.remote_addr, request.method, request.target, response.status,
                 bodyBytes(response));
    });
  // The service's state is for its operators: loopback and trusted proxies only.
  installHealth(server, shared->live, shared->budget, [shared](const httplib::Request& request) {
    std::string client = clientOf(*shared, request);
    bool trusted = shared->clients && shared->clients->isTrustedProxy(client);
    return trusted || client.starts_with("127.") || client.starts_with("::ffff:127.") ||
           client == "::1";
  });
  auto answer = [shared, routing](const httplib::Request& request, httplib::Response& response) {
    Routing asked = routing;
    if (WeatherCache* cache = shared->live)
      asked.report = [cache, alerts = shared->alerts, client = clientOf(*shared, request)](
                         const Place& place, UnixTime) {
        return liveReport(*cache, alerts, place, client);
      };
    carryOut(answerRequest(shared->source, request.target, shared->clock(), asked), response);
  };
  server.Get(".*", answer);
  // Requests the handler never saw (a malformed request line, an overlong
  // link) still get a whole page.
  server.set_error_handler(httplib::Server::HandlerWithResponse(
      [answer](const httplib::Request& request, httplib::Response& response) {
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
        response.set_content(refusalPage(response.status), kHtml);
        return httplib::Server::HandlerResponse::Handled;
      }));
}
