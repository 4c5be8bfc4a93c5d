#pragma once
// The service's log: one line per request, whatever the request's bytes.

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

// Control bytes and bytes past ASCII as %XX, cut at `limit` bytes with "...":
// a line stays one line, and a link of kilobytes does not drown the log.
std::string printable(std::string_view text, std::size_t limit = 300);

// "time client method link status bytes", flushed; nothing when `log` is null.
void logRequest(std::ostream* log, std::string_view client, std::string_view method,
                std::string_view target, int status, std::size_t bytes);
