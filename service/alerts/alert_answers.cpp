// The readers of the alert sources' answers: hostile input, read within
// fixed bounds, never trusted to be of the documented shape.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "service/alerts/alert.h"

namespace {

using Json = nlohmann::json;
// Deep enough for a feature's properties and their lists; deeper values
// (geometries among them) are dropped while parsing.
constexpr int kMaxDepth = 6;

AlertsFetched failure(int status, std::string why) {
  AlertsFetched fetched;
  fetched.status = status;
  fetched.error = std::move(why);
  return fetched;
}

// The features of a GeoJSON answer, or a failure.
std::optional<Json> features(int status, std::string_view body, AlertsFetched& failed) {
  if (status != 200) {
    failed = failure(status, "status " + std::to_string(status));
    return std::nullopt;
  }
  if (body.size() > kMaxAlertsBytes) {
    failed = failure(status, "answer too large");
    return std::nullopt;
  }
  auto shallow = [](int depth, Json::parse_event_t, Json&) { return depth <= kMaxDepth; };
  Json document = Json::parse(body.begin(), body.end(), shallow, false);
  if (document.is_discarded() || !document.is_object()) {
    failed = failure(status, "not a JSON object");
    return std::nullopt;
  }
  auto list = document.find("features");
  if (list == document.end() || !list->is_array()) {
    failed = failure(status, "no features");
    return std::nullopt;
  }
  if (list->size() > kMaxAlerts) {
    failed = failure(status, "too many alerts");
    return std::nullopt;
  }
  return std::move(*list);
}

std::string_view text(const Json& object, const char* field) {
  if (!object.is_object()) return {};
  auto it = object.find(field);
  if (it == object.end() || !it->is_string()) return {};
  return it->get_ref<const std::string&>();
}

std::optional<SourceTime> timeOf(const Json& object, const char* field) {
  return parseSourceTime(text(object, field));
}

void setEnd(WeatherAlert& alert, const std::optional<SourceTime>& end) {
  if (!end) return;
  alert.ends = end->utc;
  if (!end->zulu) alert.utcOffsetS = end->offsetS;
}

}  // namespace

AlertsFetched parseNwsAlerts(int status, std::string_view body, std::int64_t now) {
  AlertsFetched fetched;
  auto list = features(status, body, fetched);
  if (!list) return fetched;
  struct Message {
    std::string ownId;
    WeatherAlert alert;
  };
  std::vector<Message> messages;
  std::set<std::string> referenced;  // updated or cancelled: no longer in force as they were
  for (const Json& feature : *list) {
    if (!feature.is_object()) continue;
    auto found = feature.find("properties");
    if (found == feature.end() || !found->is_object()) continue;
    const Json& properties = *found;
    std::string id(text(properties, "id"));
    if (id.empty() || id.size() > 200 || text(properties, "status") != "Actual") continue;
    Message message{id, {}};
    message.alert.id = pageText(id, 200);
    std::int64_t firstSent = INT64_MAX;
    if (auto references = properties.find("references");
        references != properties.end() && references->is_array()) {
      for (const Json& reference : *references) {
        std::string earlier(text(reference, "identifier"));
        if (earlier.empty() || earlier.size() > 200) continue;
        referenced.insert(earlier);
        // The chain's first message names the alert for good, so that an
        // update is not news to the user.
        auto sent = timeOf(reference, "sent");
        if (sent && sent->utc < firstSent) {
          firstSent = sent->utc;
          message.alert.id = pageText(earlier, 200);
        }
      }
    }
    if (text(properties, "messageType") == "Cancel") continue;
    message.alert.event = pageText(text(properties, "event"), kMaxEventBytes);
    if (message.alert.event.empty()) continue;
    message.alert.severity = severityFromName(text(properties, "severity"));
    message.alert.headline = pageText(text(properties, "headline"), kMaxHeadlineBytes);
    auto ends = timeOf(properties, "ends");
    setEnd(message.alert, ends ? ends : timeOf(properties, "expires"));
    messages.push_back(std::move(message));
  }
  std::set<std::string> seen;
  for (Message& message : messages) {
    if (referenced.count(message.ownId) || !seen.insert(message.alert.id).second) continue;
    fetched.alerts.push_back(std::move(message.alert));
  }
  fetched.alerts = inForce(fetched.alerts, now);
  fetched.answered = true;
  fetched.status = status;
  return fetched;
}

std::string nwsTarget(double latitude, double longitude) {
  // The service takes at most four decimals.
  char target[96];
  std::snprintf(target, sizeof target, "/alerts/active?point=%.4f,%.4f", latitude, longitude);
  return target;
}

AlertsFetched parseEcccAlerts(int status, std::string_view body, std::int64_t now) {
  AlertsFetched fetched;
  auto list = features(status, body, fetched);
  if (!list) return fetched;
  std::set<std::string> seen;
  for (const Json& feature : *list) {
    if (!feature.is_object()) continue;
    auto found = feature.find("properties");
    if (found == feature.end() || !found->is_object()) continue;
    const Json& properties = *found;
    std::string id(text(properties, "identifier"));
    if (id.empty()) id = std::string(text(feature, "id"));
    if (id.empty() || id.size() > 200 || !seen.insert(id).second) continue;
    std::string state(text(properties, "status_en"));
    std::transform(state.begin(), state.end(), state.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    if (state.find("ended") != std::string::npos || state.find("cancel") != std::string::npos)
      continue;
    WeatherAlert alert;
    alert.id = pageText(id, 200);
    alert.event = pageText(text(properties, "alert_name_en"), kMaxEventBytes);
    if (alert.event.empty()) continue;
    // The collection has no severity of its own: its colour and kind stand in.
    std::string_view kind = text(properties, "alert_type");
    alert.severity = text(properties, "risk_colour_en") == "red" ? AlertSeverity::Extreme
                     : kind == "warning"                         ? AlertSeverity::Severe
                     : kind == "watch"                           ? AlertSeverity::Moderate
                     : kind == "advisory" || kind == "statement" ? AlertSeverity::Minor
                                                                 : AlertSeverity::Unknown;
    alert.headline = pageText(text(properties, "alert_text_en"), kMaxHeadlineBytes);
    auto ends = timeOf(properties, "event_end_datetime");
    setEnd(alert, ends ? ends : timeOf(properties, "expiration_datetime"));
    fetched.alerts.push_back(std::move(alert));
  }
  fetched.alerts = inForce(fetched.alerts, now);
  fetched.answered = true;
  fetched.status = status;
  return fetched;
}

std::string ecccTarget(double latitude, double longitude) {
  // A box of about 2 km around the place; no geometries, which can run to
  // megabytes, and English texts.
  constexpr double kHalf = 0.01;
  char target[256];
  std::snprintf(target, sizeof target,
                "/collections/weather-alerts/items?f=json&lang=en&skipGeometry=true&limit=%d"
                "&bbox=%.4f,%.4f,%.4f,%.4f",
                int(kMaxAlerts), longitude - kHalf, latitude - kHalf, longitude + kHalf,
                latitude + kHalf);
  return target;
}
