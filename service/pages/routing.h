#pragma once
// Owns the routing of a request to its page: a pure function of the place
// source, the request target and the clock, with the fault prefixes that
// tests may ask for. The HTTP server only carries out the answer.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "service/pages/pages.h"
#include "service/places/place.h"

// Misbehaviour on demand, for tests of how the program copes. Each can come
// from a path prefix (see takeFaults) or from a server option.
struct Faults {
  int delayMs = 0;         // wait this long before answering
  int status = 0;          // answer with this status instead (0: the page's own)
  bool empty = false;      // an empty body
  bool noMarkers = false;  // a whole page that holds none of the markers
  bool cut = false;        // send half the body, then drop the connection
};

// The longest wait that faults may add up to, prefixes and options together.
constexpr int kMaxDelayMs = 60000;

// Takes the fault prefixes "/slow/<ms>", "/status/<code>", "/empty",
// "/nomarkers" and "/cut" off the front of `path`, in any number and order,
// adding them to `faults`; returns the rest, which starts with '/'.
std::string_view takeFaults(std::string_view path, Faults& faults);

// What caches in front may do with an answer.
namespace cache_control {
constexpr const char* kReport = "public, max-age=300, stale-if-error=10800";
constexpr const char* kResults = "public, max-age=86400";
constexpr const char* kNotFound = "public, max-age=60";
constexpr const char* kHome = "public, max-age=300";
constexpr const char* kNone = "no-store";
}  // namespace cache_control

struct Answer {
  int status = 200;
  std::string body;
  int delayMs = 0;
  bool cut = false;
  const char* cacheControl = cache_control::kNone;
  std::string location = {};  // where a redirect sends the client
  int maxAge = -1;            // a live reading: seconds a cache may keep it (-1: cacheControl says)
  int age = 0;                // and how old it is
};

// Makes a place's report page answer; the default is the sample model's.
using ReportMaker = std::function<Answer(const Place& place, UnixTime now)>;

struct Routing {
  Faults defaults;
  bool faultPrefixes = false;  // whether links may carry fault prefixes
  ReportMaker report;          // empty: the sample model
  bool live = false;           // live data: its attribution on every page
};

// Answers a GET of `target` (path and query as sent, not yet decoded).
Answer answerRequest(const PlaceSource& source, std::string_view target, UnixTime now,
                     const Routing& routing = {});
