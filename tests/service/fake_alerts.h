#pragma once
// Stand-ins for the two alert sources on loopback: each answers its own
// request with what the test set (in the shape the real source documents),
// counts its calls and keeps the last request's link and User-Agent.

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "stand_in.h"

// `utc` written as the sources write times: with the offset, or in UTC.
inline std::string sourceTime(std::int64_t utc, int offsetS, bool zulu = false) {
  std::time_t local = std::time_t(utc + (zulu ? 0 : offsetS));
  std::tm parts{};
  gmtime_r(&local, &parts);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &parts);
  std::string written = text;
  if (zulu) return written + "Z";
  int minutes = (offsetS < 0 ? -offsetS : offsetS) / 60;
  std::snprintf(text, sizeof text, "%c%02d:%02d", offsetS < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return written + text;
}

struct NwsRecord {
  std::string id, event, severity, headline;
  std::string ends;  // empty: null, and "expires" stands
  std::string expires;
  std::string messageType = "Alert";
  std::string status = "Actual";
  std::vector<std::pair<std::string, std::string>> references;  // identifier, sent
};

// JSON string escaping of UTF-8 text.
inline std::string jsonText(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

inline std::string nwsFeature(const NwsRecord& record) {
  std::string references = "[";
  for (const auto& [identifier, sent] : record.references) {
    if (references.size() > 1) references += ",";
    references += "{\"@id\":\"https://api.weather.gov/alerts/" + identifier +
                  "\",\"identifier\":" + jsonText(identifier) +
                  ",\"sender\":\"w-nws.webmaster@noaa.gov\",\"sent\":" + jsonText(sent) + "}";
  }
  references += "]";
  return "{\"id\":\"https://api.weather.gov/alerts/" + record.id +
         "\",\"type\":\"Feature\",\"geometry\":{\"type\":\"Polygon\",\"coordinates\":"
         "[[[-97.8,30.2],[-97.6,30.2],[-97.6,30.4],[-97.8,30.2]]]},"
         "\"properties\":{\"@type\":\"wx:Alert\",\"id\":" +
         jsonText(record.id) + ",\"areaDesc\":\"Travis, TX\",\"references\":" + references +
         ",\"sent\":\"2026-12-07T12:00:00-06:00\",\"effective\":\"2026-12-07T12:00:00-06:00\","
         "\"expires\":" +
         (record.expires.empty() ? std::string("null") : jsonText(record.expires)) +
         ",\"ends\":" + (record.ends.empty() ? std::string("null") : jsonText(record.ends)) +
         ",\"status\":" + jsonText(record.status) +
         ",\"messageType\":" + jsonText(record.messageType) +
         ",\"category\":\"Met\",\"severity\":" + jsonText(record.severity) +
         ",\"certainty\":\"Observed\",\"urgency\":\"Immediate\",\"event\":" +
         jsonText(record.event) +
         ",\"senderName\":\"NWS Austin/San Antonio TX\",\"headline\":" + jsonText(record.headline) +
         ",\"description\":\"At 5:30 PM CST, a severe thunderstorm capable of producing a "
         "tornado was located near Austin.\",\"instruction\":\"TAKE COVER NOW!\"}}";
}

inline std::string nwsCollection(const std::vector<std::string>& features) {
  std::string body =
      "{\"@context\":[\"https://geojson.org/geojson-ld/geojson-context.jsonld\"],"
      "\"type\":\"FeatureCollection\",\"features\":[";
  for (std::size_t i = 0; i < features.size(); ++i) body += (i ? "," : "") + features[i];
  return body +
         "],\"title\":\"Current watches, warnings, and advisories\",\"updated\":"
         "\"2026-12-07T12:00:00+00:00\"}";
}

struct EcccRecord {
  std::string identifier, name, type, colour, text;
  std::string status = "active";
  std::string ends;  // event_end_datetime; empty: null
  std::string expires;
};

inline std::string ecccFeature(const EcccRecord& record, int area) {
  return "{\"type\":\"Feature\",\"id\":\"" + record.identifier + "-" + std::to_string(area) +
         "\",\"geometry\":null,\"properties\":{\"identifier\":" + jsonText(record.identifier) +
         ",\"area\":\"City of Toronto\",\"feature_id\":\"" + std::to_string(area) +
         "\",\"alert_type\":" + jsonText(record.type) +
         ",\"alert_name_en\":" + jsonText(record.name) +
         ",\"alert_name_fr\":\"avertissement\",\"risk_colour_en\":" + jsonText(record.colour) +
         ",\"status_en\":" + jsonText(record.status) +
         ",\"publication_datetime\":\"2026-12-07T12:00:00Z\",\"expiration_datetime\":" +
         (record.expires.empty() ? std::string("null") : jsonText(record.expires)) +
         ",\"event_end_datetime\":" +
         (record.ends.empty() ? std::string("null") : jsonText(record.ends)) +
         ",\"alert_text_en\":" + jsonText(record.text) + ",\"alert_text_fr\":\"...\"}}";
}

inline std::string ecccCollection(const std::vector<std::string>& features) {
  std::string body = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (std::size_t i = 0; i < features.size(); ++i) body += (i ? "," : "") + features[i];
  return body + "],\"numberMatched\":" + std::to_string(features.size()) +
         ",\"numberReturned\":" + std::to_string(features.size()) + "}";
}

class FakeAlerts {
 public:
  explicit FakeAlerts(const std::string& host = "127.0.0.1", int port = 0) {
    standIn_.server.Get("/calls", [this](const httplib::Request&, httplib::Response& response) {
      response.set_content(
          "nws " + std::to_string(nwsCalls_) + "\neccc " + std::to_string(ecccCalls_) + "\n",
          "text/plain");
    });
    standIn_.server.Get("/alerts/active",
                        [this](const httplib::Request& request, httplib::Response& response) {
                          ++nwsCalls_;
                          serve(request, response, nwsBody_);
                        });
    standIn_.server.Get("/collections/weather-alerts/items",
                        [this](const httplib::Request& request, httplib::Response& response) {
                          ++ecccCalls_;
                          serve(request, response, ecccBody_);
                        });
    standIn_.start(host, port);
  }
  ~FakeAlerts() { standIn_.stop(); }

  void nws(std::string body, int status = 200) { set(nwsBody_, std::move(body), status); }
  void eccc(std::string body, int status = 200) { set(ecccBody_, std::move(body), status); }
  void delay(int ms) { delayMs_ = ms; }
  int nwsCalls() const { return nwsCalls_; }
  int ecccCalls() const { return ecccCalls_; }
  int port() const { return standIn_.port(); }
  std::string url() const { return standIn_.url(); }
  std::string lastTarget() { return standIn_.lastTarget(); }
  std::string lastUserAgent() { return standIn_.lastUserAgent(); }
  void wait() { standIn_.wait(); }

 private:
  struct Body {
    std::string text = "{\"type\":\"FeatureCollection\",\"features\":[]}";
    int status = 200;
  };
  void set(Body& body, std::string text, int status) {
    std::lock_guard<std::mutex> guard(mutex_);
    body = {std::move(text), status};
  }
  void serve(const httplib::Request& request, httplib::Response& response, const Body& body) {
    Body answer;
    {
      std::lock_guard<std::mutex> guard(mutex_);
      answer = body;
    }
    standIn_.record(request);
    // A slow source on purpose: the delay is what the test asks of it.
    if (delayMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_.load()));
    response.status = answer.status;
    response.set_header("Cache-Control", "public, max-age=30");
    response.set_content(answer.text, "application/geo+json");
  }

  StandIn standIn_;
  std::atomic<int> nwsCalls_{0}, ecccCalls_{0}, delayMs_{0};
  std::mutex mutex_;
  Body nwsBody_, ecccBody_;
};
