#pragma once
// The weather service on the user's own PC: when the address in force is the
// build's loopback default, the widget starts skyvane-service.exe from its
// own folder. What to start, and when, is decided here.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The port of the service to start: only when `baseUrl` is `defaultUrl` and
// that is plain http on 127.0.0.1 or localhost with no path. Any other
// address is someone else's service, and nothing is started for it.
std::optional<int> localServicePort(std::string_view baseUrl, std::string_view defaultUrl);

// An API key for the forecast server: 1 to 128 bytes of letters, digits and
// "-._~", so that it can never be read as more than one argument.
bool isOpenMeteoKey(std::string_view key);

// One argument as the C runtime splits a command line: quoted, with quotes
// and the backslashes before them escaped.
std::string quoteArgument(std::string_view argument);

// The service's command line: the world's towns and live weather on
// 127.0.0.1:`port`, answering only its own address. `openMeteoUrl` and
// `openMeteoKey` (the [Service] keys) are passed on when acceptable
// (isServiceBaseUrl, isOpenMeteoKey) and left out otherwise; so are the
// alert sources' `nwsUrl` and `ecccUrl`, read like the forecast server's.
std::string serviceCommandLine(std::string_view program, int port, std::string_view openMeteoUrl,
                               std::string_view openMeteoKey, std::string_view nwsUrl = {},
                               std::string_view ecccUrl = {});

// A start after a failed one waits this long: a service that cannot stay up
// is not started again and again.
inline constexpr std::uint32_t kServiceRestartMs = 60000;
// How long a start waits for the service to answer.
inline constexpr std::uint32_t kServiceStartWaitMs = 5000;

// True when a start may be tried now; `lastStartMs` is the tick count of
// the last try, if any (tick counts wrap).
bool serviceStartDue(std::uint32_t nowMs, std::optional<std::uint32_t> lastStartMs);
