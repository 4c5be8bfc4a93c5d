#include "service/weather/open_meteo_answer.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "service/weather/forecast_outlook.h"
#include "service/weather/weather_model.h"

namespace {

// Nothing in a forecast answer nests deeper than this.
constexpr int kMaxDepth = 8;
// Colder or hotter than anywhere on Earth has been: the numbers are wrong.
constexpr double kColdestF = -200, kHottestF = 200;

std::optional<double> temperature(const nlohmann::json& current, const char* field) {
  auto it = current.find(field);
  if (it == current.end() || !it->is_number()) return std::nullopt;
  double value = it->get<double>();
  if (!std::isfinite(value) || value < kColdestF || value > kHottestF) return std::nullopt;
  return value;
}

UpstreamResult failure(std::string why) { return {std::nullopt, std::move(why)}; }

UpstreamResult readForecast(int status, std::string_view body);

// "current.time" is the place's local time ("2026-01-15T08:00") with
// timezone=auto; "utc_offset_seconds" brings it back to UTC.
std::optional<std::int64_t> observedAt(const nlohmann::json& document,
                                       const nlohmann::json& current) {
  auto time = current.find("time");
  auto offset = document.find("utc_offset_seconds");
  if (time == current.end() || !time->is_string() ||
      time->get_ref<const std::string&>().size() > 32)
    return std::nullopt;
  auto local = parseUtc(time->get_ref<const std::string&>());
  std::int64_t seconds = 0;
  if (offset != document.end()) {
    if (!offset->is_number_integer()) return std::nullopt;
    seconds = offset->get<std::int64_t>();
    if (seconds < -18 * 3600 || seconds > 18 * 3600) return std::nullopt;
  }
  if (!local) return std::nullopt;
  return *local - seconds;
}

std::string percentEncode(std::string_view text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
      out += char(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

}  // namespace

int wholeDegrees(double value) { return int(std::lround(value)); }

std::int64_t observedTime(const Reading& reading, std::int64_t fetchedAt) {
  // The source updates every 15 minutes; a time outside a few hours before
  // the fetch, or after it, is not one to show a user.
  constexpr std::int64_t kEarliest = 3 * 3600, kLatest = 5 * 60;
  if (!reading.observedAt || *reading.observedAt < fetchedAt - kEarliest ||
      *reading.observedAt > fetchedAt + kLatest)
    return fetchedAt;
  return std::min(*reading.observedAt, fetchedAt);
}

UpstreamResult currentAt(UpstreamResult result, std::int64_t fetchedAt) {
  constexpr std::int64_t kOldest = 3 * 3600, kAhead = 15 * 60;
  if (!result.reading) return result;
  auto at = result.reading->observedAt;
  if (!at || *at < fetchedAt - kOldest || *at > fetchedAt + kAhead) {
    result.reading.reset();
    result.error = "not current conditions";
  }
  return result;
}

UpstreamResult parseForecast(int status, std::string_view body) {
  UpstreamResult result = readForecast(status, body);
  result.status = status;
  return result;
}

namespace {

UpstreamResult readForecast(int status, std::string_view body) {
  if (status != 200) return failure("status " + std::to_string(status));
  if (body.size() > kMaxForecastBytes) return failure("answer too large");
  // Values nested too deep are dropped while parsing, so the document stays small and shallow.
  auto shallow = [](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
    return depth <= kMaxDepth;
  };
  nlohmann::json document = nlohmann::json::parse(body.begin(), body.end(), shallow, false);
  if (document.is_discarded() || !document.is_object()) return failure("not a JSON object");
  if (auto error = document.find("error"); error != document.end() && *error != false)
    return failure("upstream error");
  auto current = document.find("current");
  if (current == document.end() || !current->is_object()) return failure("no current conditions");
  // The request asks for Fahrenheit; an answer in other units must not be
  // shown as if it were.
  // Units left out are not known to be Fahrenheit either.
  auto units = document.find("current_units");
  for (const char* field : {"temperature_2m", "apparent_temperature"}) {
    if (units == document.end() || !units->is_object()) return failure("not in Fahrenheit");
    // A unit that is not text is no unit (and must not throw).
    auto unit = units->find(field);
    if (unit == units->end() || !unit->is_string() ||
        unit->get_ref<const std::string&>() !=
            "\xC2\xB0"
            "F")
      return failure("not in Fahrenheit");
  }
  auto temperatureF = temperature(*current, "temperature_2m");
  auto feelsLikeF = temperature(*current, "apparent_temperature");
  if (!temperatureF || !feelsLikeF) return failure("no temperatures");
  Reading reading{*temperatureF, *feelsLikeF, observedAt(document, *current), std::nullopt,
                  forecastOutlook(document)};
  if (auto offset = document.find("utc_offset_seconds");
      offset != document.end() && offset->is_number_integer() &&
      std::abs(offset->get<std::int64_t>()) <= 18 * 3600)
    reading.utcOffsetS = int(offset->get<std::int64_t>());
  return {reading, {}};
}

}  // namespace

std::string forecastTarget(double latitude, double longitude, std::string_view apiKey) {
  char coordinates[64];
  std::snprintf(coordinates, sizeof coordinates, "latitude=%.4f&longitude=%.4f", latitude,
                longitude);
  std::string target = std::string("/v1/forecast?") + coordinates +
                       "&current=temperature_2m,apparent_temperature" + kOutlookCurrentFields +
                       kOutlookQuery + "&temperature_unit=fahrenheit&timezone=auto";
  if (!apiKey.empty()) target += "&apikey=" + percentEncode(apiKey);
  return target;
}

std::optional<std::pair<std::string, std::string>> splitBaseUrl(std::string_view url) {
  std::size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return std::nullopt;
  std::string_view name = url.substr(0, scheme);
  if (name != "http" && name != "https") return std::nullopt;
  std::size_t pathAt = url.find('/', scheme + 3);
  std::string_view origin = url.substr(0, pathAt);
  std::string_view path = pathAt == std::string_view::npos ? "" : url.substr(pathAt);
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  if (origin.size() == scheme + 3) return std::nullopt;  // no host
  for (char c : url)
    if (std::iscntrl(static_cast<unsigned char>(c)) || c == ' ' || c == '?' || c == '#')
      return std::nullopt;
  return std::pair{std::string(origin), std::string(path)};
}
