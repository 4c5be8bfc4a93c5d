#pragma once
// A stand-in for the forecast server on loopback: answers every forecast
// request with what the test set, counts the calls and keeps the last
// request's link and User-Agent.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "stand_in.h"

struct FakeAnswer {
  int status = 200;
  std::string body;
  int delayMs = 0;
  bool drop = false;     // close the connection without an answer
  int retryAfterS = -1;  // sent as Retry-After when not negative
};

// When forecastJson's conditions were observed, in the answer's local time.
constexpr const char* kObservedAt = "2026-01-15T08:00";
// The same in seconds since 1970 UTC: a weather cache whose clock stands
// here takes forecastJson's readings as current.
constexpr long long kObservedAtUtc = 1'768'485'600;

// The current weather code and day flag, and today's series, as the
// forecast server gives them: light rain by day, 63 and 48 °F, 40%.
inline constexpr const char* kOutlookNow = ",\"weather_code\":61,\"is_day\":1";
inline constexpr const char* kOutlookToday =
    ",\"daily_units\":{\"time\":\"iso8601\",\"temperature_2m_max\":\"\xC2\xB0"
    "F\",\"temperature_2m_min\":\"\xC2\xB0"
    "F\",\"precipitation_probability_max\":\"%\"},"
    "\"daily\":{\"time\":[\"2026-01-15\"],\"temperature_2m_max\":[63.0],"
    "\"temperature_2m_min\":[48.0],\"precipitation_probability_max\":[40]}";

// An answer in the forecast server's documented shape; `now` goes into
// "current" after the temperatures, `today` after it.
inline std::string forecastJson(double temperatureF, double feelsLikeF,
                                const std::string& now = kOutlookNow,
                                const std::string& today = kOutlookToday) {
  char text[512];
  std::snprintf(text, sizeof text,
                "{\"latitude\":30.27,\"longitude\":-97.74,\"generationtime_ms\":0.03,"
                "\"utc_offset_seconds\":-21600,\"timezone\":\"America/Chicago\","
                "\"timezone_abbreviation\":\"CST\",\"elevation\":149.0,"
                "\"current_units\":{\"time\":\"iso8601\",\"interval\":\"seconds\","
                "\"temperature_2m\":\"\xC2\xB0"
                "F\",\"apparent_temperature\":\"\xC2\xB0"
                "F\"},"
                "\"current\":{\"time\":\"%s\",\"interval\":900,"
                "\"temperature_2m\":%g,\"apparent_temperature\":%g",
                kObservedAt, temperatureF, feelsLikeF);
  return text + now + "}" + today + "}";
}

class FakeOpenMeteo {
 public:
  explicit FakeOpenMeteo(const std::string& host = "127.0.0.1", int port = 0) {
    standIn_.server.Get("/calls",
                        [this](const httplib::Request& request, httplib::Response& response) {
                          std::string text = std::to_string(calls()) + "\n";
                          if (request.get_param_value("by") == "place") {
                            std::lock_guard<std::mutex> guard(mutex_);
                            text.clear();
                            for (const auto& [place, count] : byPlace_)
                              text += place + " " + std::to_string(count) + "\n";
                          }
                          response.set_content(text, "text/plain");
                        });
    standIn_.server.Get(
        "/v1/forecast", [this](const httplib::Request& request, httplib::Response& response) {
          ++calls_;
          FakeAnswer answer;
          {
            std::lock_guard<std::mutex> guard(mutex_);
            answer = answer_;
            ++byPlace_[request.get_param_value("latitude") + "," +
                       request.get_param_value("longitude")];
          }
          standIn_.record(request);
          if (southFails_ && std::atof(request.get_param_value("latitude").c_str()) < 0)
            answer = {400, R"({"error":true,"reason":"No data south of the equator"})"};
          if (tellTime_) {
            // The reading's temperature is the second it was fetched
            // (modulo 150), so a client can tell each reading's age.
            auto since = std::chrono::steady_clock::now() - started_;
            double second =
                double(std::chrono::duration_cast<std::chrono::seconds>(since).count() % 150);
            answer.body = forecastJson(second, second);
          }
          if (realTime_) {
            // Observed at the last quarter hour, in the answer's CST.
            std::time_t now = std::time(nullptr) / 900 * 900 - 6 * 3600;
            char local[32];
            std::strftime(local, sizeof local, "%Y-%m-%dT%H:%M", std::gmtime(&now));
            std::size_t at = answer.body.find(kObservedAt);
            if (at != std::string::npos) answer.body.replace(at, std::strlen(kObservedAt), local);
            // Today's series are of the same day.
            constexpr std::size_t kDate = 10;  // "2026-01-15"
            for (at = answer.body.find(std::string(kObservedAt, kDate)); at != std::string::npos;
                 at = answer.body.find(std::string(kObservedAt, kDate), at + kDate))
              answer.body.replace(at, kDate, local, kDate);
          }
          if (answer.delayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(answer.delayMs));
          response.status = answer.status;
          if (answer.retryAfterS >= 0)
            response.set_header("Retry-After", std::to_string(answer.retryAfterS));
          if (answer.drop) {
            response.set_content_provider(
                1000, "application/json",
                [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
            return;
          }
          response.set_content(answer.body, "application/json");
        });
    standIn_.start(host, port);
  }
  ~FakeOpenMeteo() { standIn_.stop(); }

  void answer(FakeAnswer next) {
    std::lock_guard<std::mutex> guard(mutex_);
    answer_ = std::move(next);
  }
  int calls() const { return calls_; }
  void tellTimeByTemperature() { tellTime_ = true; }
  // Readings observed now rather than at kObservedAt.
  void observeAtTheRealTime() { realTime_ = true; }
  // Places south of the equator answered 400, as a server covering only
  // the north would.
  void failSouth() { southFails_ = true; }
  int port() const { return standIn_.port(); }
  std::string url() const { return standIn_.url(); }
  std::string lastTarget() { return standIn_.lastTarget(); }
  std::string lastUserAgent() { return standIn_.lastUserAgent(); }
  void wait() { standIn_.wait(); }

 private:
  StandIn standIn_;
  std::atomic<int> calls_{0};
  std::atomic<bool> tellTime_{false}, realTime_{false}, southFails_{false};
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::map<std::string, int> byPlace_;
  std::mutex mutex_;
  FakeAnswer answer_{200, forecastJson(71.6, 69.4)};
};
