#include "service/http/handlers.h"

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include "service/http/health.h"

namespace {

const char* kHtml = "text/html; charset=windows-1252";

// Control bytes would break the one-line-per-request promise, and a link of
// kilobytes would drown the log.
std::string printable(std::string_view text) {
  std::string line;
  for (unsigned char c : text.substr(0, 300)) {
    if (c < 0x20 || c >= 0x7f) {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      line += hex;
    } else {
      line += char(c);
    }
  }
  if (text.size() > 300) line += "...";
  return line;
}

// One line: time, client, method, link, status and the body's bytes (for a cut
// answer, the length it promised).
void logRequest(std::ostream& log, const httplib::Request& request,
                const httplib::Response& response) {
  static std::mutex lock;
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
  std::size_t bytes = response.body.size();
  if (bytes == 0)
    bytes = std::strtoull(response.get_header_value("Content-Length").c_str(), nullptr, 10);
  std::lock_guard<std::mutex> guard(lock);
  log << stamp << ' ' << request.remote_addr << ' ' << printable(request.method) << ' '
      << printable(request.target) << ' ' << response.status << ' ' << bytes << std::endl;
}

Answer liveReport(WeatherCache& cache, const Place& place) {
  Lookup found = cache.get(place.latitude, place.longitude);
  if (!found.reading) return {503, unavailablePage(place), 0, false, cache_control::kNone};
  UnixTime fetched = found.fetchedAt / 1000;
  std::string page = liveReportPage(
      place, wholeDegrees(found.reading->temperatureF), wholeDegrees(found.reading->feelsLikeF),
      fetched, observedTime(*found.reading, fetched), found.how == Served::Stale);
  return {200, std::move(page), 0, false, cache_control::kReport};
}

// Sends the routing's answer, with its delay; a cut answer promises the whole
// page, sends half of it, then fails the write, so the server drops the
// connection mid-body.
void carryOut(Answer answer, httplib::Response& response) {
  if (answer.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
  response.status = answer.status;
  response.set_header("Cache-Control", answer.cacheControl);
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
  if (WeatherCache* cache = setup.live)
    routing.report = [cache](const Place& place, UnixTime) { return liveReport(*cache, place); };
  return routing;
}

}  // namespace

void installService(httplib::Server& server, ServiceSetup setup) {
  auto shared = std::make_shared<ServiceSetup>(std::move(setup));
  Routing routing = routingOf(*shared);
  if (std::ostream* log = shared->log)
    server.set_logger([log](const httplib::Request& request, const httplib::Response& response) {
      logRequest(*log, request, response);
    });
  installHealth(server, shared->live, shared->budget);
  auto answer = [shared, routing](const httplib::Request& request, httplib::Response& response) {
    carryOut(answerRequest(shared->source, request.target, shared->clock(), routing), response);
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
