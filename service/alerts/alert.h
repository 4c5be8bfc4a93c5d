#pragma once
// Severe-weather alerts as the service holds them, whatever their source,
// and the pure readers of the sources' answers. Every text is Windows-1252
// (the pages' code page), free of control bytes and bounded in length.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class AlertSeverity { Unknown, Minor, Moderate, Severe, Extreme };

struct WeatherAlert {
  // Stable across the updates of one alert: the first message's identifier.
  std::string id;
  std::string event;  // "Tornado Warning"
  AlertSeverity severity = AlertSeverity::Unknown;
  std::string headline;
  std::optional<std::int64_t> ends;  // seconds since 1970 UTC; nothing: until further notice
  // The offset from UTC the source wrote the end in: the place's own for
  // sources that write local times, else nothing.
  std::optional<int> utcOffsetS;
};

struct AlertsFetched {
  bool answered = false;  // the source answered and its answer was read
  std::vector<WeatherAlert> alerts;
  std::string error;         // why not
  int status = 0;            // the source's status, 0 when none came
  std::int64_t maxAgeS = 0;  // how long the source says its answer stays fresh
};

// What any answer is held to: more than this is not the alerts of one place.
constexpr std::size_t kMaxAlertsBytes = 1024 * 1024;
constexpr std::size_t kMaxAlerts = 200;
// Texts longer than this are cut (never otherwise changed).
constexpr std::size_t kMaxEventBytes = 120;
constexpr std::size_t kMaxHeadlineBytes = 400;

const char* severityName(AlertSeverity severity);
AlertSeverity severityFromName(std::string_view name);

// "2026-12-07T18:45:00-06:00", "2026-12-07T18:45Z" and the like: the UTC
// time, and the offset it was written in.
struct SourceTime {
  std::int64_t utc = 0;
  int offsetS = 0;
  bool zulu = false;  // written in UTC ('Z'): says nothing of the place
};
std::optional<SourceTime> parseSourceTime(std::string_view text);

// UTF-8 text as the pages' Windows-1252: characters it lacks become '?',
// control characters (line breaks among them) a blank, runs of blanks one;
// cut at `limit` bytes with "...".
std::string pageText(std::string_view utf8, std::size_t limit);

// Seconds of freshness a source's Cache-Control (max-age, s-maxage) or
// Expires header gives, at `now`; 0 when they give none.
std::int64_t freshnessSeconds(std::string_view cacheControl, std::string_view expires,
                              std::int64_t now);

// The alerts of `all` in force at `now`, the most severe first, then the one
// that ends first.
std::vector<WeatherAlert> inForce(const std::vector<WeatherAlert>& all, std::int64_t now);

// The US National Weather Service's active alerts for a point (GeoJSON):
// "Actual" messages only; a cancel, and an update, take the alert they
// reference out.
AlertsFetched parseNwsAlerts(int status, std::string_view body, std::int64_t now);
std::string nwsTarget(double latitude, double longitude);

// Environment and Climate Change Canada's current alerts in a small box
// (GeoJSON of the GeoMet alerts collection): one alert per identifier,
// whatever the number of areas it covers; ended and cancelled ones left out.
AlertsFetched parseEcccAlerts(int status, std::string_view body, std::int64_t now);
std::string ecccTarget(double latitude, double longitude);
