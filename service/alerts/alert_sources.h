#pragma once
// The alert sources the service knows: which places each covers, and the
// calls to them. A place that none covers makes no call.

#include <string>
#include <string_view>

#include "service/alerts/alerts_cache.h"
#include "service/weather/upstream_http.h"

inline constexpr const char* kNwsUrl = "https://api.weather.gov";
inline constexpr const char* kEcccUrl = "https://api.weather.gc.ca";

// By the place's name as the place sources write it: "City, ST" (or a US
// ZIP code's "City, ST 90210") is in the United States, "City, Canada" in
// Canada; coordinates far outside either country rule it out.
bool inUnitedStates(const Place& place);
bool inCanada(const Place& place);

// `baseUrl` as splitBaseUrl takes it; `userAgent` names the program, which
// the NWS requires of every client.
AlertSource nwsSource(const std::string& baseUrl, const std::string& userAgent,
                      UpstreamTimeouts timeouts = {});
AlertSource ecccSource(const std::string& baseUrl, const std::string& userAgent,
                       UpstreamTimeouts timeouts = {});
