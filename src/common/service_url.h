#pragma once
// The weather service's address: scheme and host, without a trailing slash.
// The build's setting is the default; the settings file may name another.

#include <string_view>

inline constexpr std::string_view kServiceBaseUrl = SKYVANE_SERVICE_BASE_URL;
inline constexpr std::size_t kServiceBaseUrlMax = 200;

// "http://" or "https://", a host (a name, an address or a bracketed IPv6
// address) with an optional port, and an optional path that does not end in
// "/"; at most 200 bytes. Anything else could send the downloads astray.
bool isServiceBaseUrl(std::string_view url);

// The address in force: the one taken at start, or the build's default.
std::string_view serviceBaseUrl();

// Takes `url` as the address when it is acceptable; otherwise keeps the one in
// force and returns false.
bool useServiceBaseUrl(std::string_view url);
