#include "service/serve.h"

#include <httplib.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

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

void logRequest(std::ostream* log, const httplib::Request& request, int status, std::size_t bytes) {
  if (!log) return;
  static std::mutex lock;
  std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &parts);
  std::lock_guard<std::mutex> guard(lock);
  *log << stamp << ' ' << request.remote_addr << ' ' << request.method << ' '
       << printable(request.target) << ' ' << status << ' ' << bytes << std::endl;
}

}  // namespace

void installService(httplib::Server& server, ServiceSetup setup) {
  auto shared = std::make_shared<ServiceSetup>(std::move(setup));
  server.Get(".*", [shared](const httplib::Request& request, httplib::Response& response) {
    const ServiceSetup& s = *shared;
    Answer answer = answerRequest(*s.places, request.target, s.clock(), s.faults, s.world);
    if (answer.delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
    response.status = answer.status;
    response.set_header("Cache-Control", "no-store");
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
  });
  // Requests the handler never saw (a malformed request line, an overlong
  // link) still get a small page.
  httplib::Server::HandlerWithResponse errorPage = [shared](const httplib::Request& request,
                                                            httplib::Response& response) {
    if (!response.body.empty()) return httplib::Server::HandlerResponse::Unhandled;
    std::string code = std::to_string(response.status);
    response.set_content("<!DOCTYPE html>\n<html><head><title>Error " + code +
                             "</title></head><body><h1>Error " + code + "</h1></body></html>\n",
                         kHtml);
    logRequest(shared->log, request, response.status, response.body.size());
    return httplib::Server::HandlerResponse::Handled;
  };
  server.set_error_handler(errorPage);
}
