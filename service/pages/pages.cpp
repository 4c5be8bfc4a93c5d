#include "service/pages/pages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "service/places/world_source.h"

// What the program reads, by byte matching, from these pages:
//
// Report page: `currentWeather"` + one byte + the name up to '<'; later
// `currentTemperature"` + one byte + the value up to '&'; and "Feels Like:<"
// + 33 bytes + the value up to '&'. Every report page also opens with
// "Reports and Weather For" + 6 bytes + the name, which a search takes as a
// direct hit.
//
// Results page, by query shape (see matchQuery):
// - empty, or matching no place: the not-found page, one "Unknown location".
// - a postal code, a whole name or a city name of exactly one place ("78701",
//   "Austin, TX", "Oslo"): that place's report page, a direct hit. The
//   program then fetches "/" + the query with '_' for spaces ("/Austin,_TX"),
//   which answers the same report page.
// - several matches, some of them top places and some not ("TX", "San",
//   "Paris", "London"): "Top locations &mdash;" with first-kind links to the
//   top places, then "More locations &mdash;" with the rest, main places as
//   first-kind and minor ones as second-kind links. Without the "extended"
//   option the program lists the first-kind links of both sections; with it,
//   those after the second header of both kinds.
// - otherwise ("Portland", "Springfield", "Canada", a single partial match):
//   one "Matching locations &mdash;" section, first-kind links for top and
//   main places, second-kind for minor ones. When all are minor
//   ("Springfield") the program finds no first-kind link and falls back to
//   the second kind, ticking "extended".
//
// First-kind link: `<a class="resolveLinkSpecial" href="` puts the link 26
// bytes after the marker; second kind: `<a class="resolveLink" href="` puts it
// 19 bytes after `resolveLink"`. Both end the link at '"', pass over '>' and
// take the text up to '<'.
//
// Nothing else in a page may hold a marker: the echoed query is escaped so
// that it cannot (see echo).

namespace {

const char* kFirstKind = "<a class=\"resolveLinkSpecial\" href=\"";
const char* kSecondKind = "<a class=\"resolveLink\" href=\"";

const char* kSampleFooter = "<p>Sample weather service. Data for demonstration only.</p>\n";
// The data's licence asks for this next to where the data is shown.
const char* kLiveFooter =
    "<p class=\"attribution\">Weather data by <a href=\"https://open-meteo.com/\">"
    "Open-Meteo.com</a></p>\n";

std::string document(std::string_view title, std::string_view body,
                     std::string_view footer = kSampleFooter) {
  std::string page;
  page.reserve(body.size() + 1024);
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n";
  page += "<meta charset=\"windows-1252\">\n";
  page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
  page += "<title>";
  page += title;
  page += "</title>\n";
  page +=
      "<style>\n"
      "body { font-family: sans-serif; margin: 0; color: #222; }\n"
      "nav, main, footer { padding: 0.5em 1.5em; }\n"
      "nav { background: #24527a; color: #fff; }\n"
      "nav a { color: #fff; }\n"
      ".now { font-size: 1.4em; }\n"
      "footer { color: #777; font-size: 0.8em; }\n"
      "</style>\n</head>\n<body>\n";
  page +=
      "<nav class=\"top\">\n"
      "<a href=\"/\">Home</a> |\n"
      "<form action=\"/\" method=\"get\" style=\"display:inline\">\n"
      "<input name=\"location\" placeholder=\"City, ST or ZIP\"> <button>Search</button>\n"
      "</form>\n</nav>\n<main>\n";
  page += body;
  page += "</main>\n<footer>\n";
  page += footer;
  page += "</footer>\n</body>\n</html>\n";
  return page;
}

// Escapes the query for echoing, and spaces too: every marker that could end
// a scan before the results holds a space or an '&', so an echoed query can
// never pose as one. Control bytes become '?'; long queries are shortened.
std::string echo(std::string_view query) {
  std::string text;
  std::size_t limit = 200;
  for (unsigned char c : query.substr(0, limit)) {
    if (c == ' ')
      text += "&#32;";
    else if (c < 0x20 || c == 0x7f)
      text += '?';
    else
      text += escapeHtml(std::string_view(reinterpret_cast<const char*>(&c), 1));
  }
  if (query.size() > limit) text += "&hellip;";
  return text;
}

void addLink(std::string& page, const char* kind, const Place& place) {
  page += "<li>";
  page += kind;
  page += "/report/" + place.slug + "\">" + place.name + "</a></li>\n";
}

std::string errorPage(int status) {
  std::string code = std::to_string(status);
  return document("Error " + code, "<h1>Error " + code +
                                       "</h1>\n<p>The service could not answer this "
                                       "request. Please try again later.</p>\n");
}

std::string quietPage() {
  return document("Maintenance",
                  "<h1>Maintenance</h1>\n<p>The weather desk is resting. Please come back "
                  "in a few minutes.</p>\n");
}

std::string homePage(const std::vector<Place>& places, bool live) {
  const char* title = live ? "Skyvane weather service" : "Sample weather service";
  std::string body = std::string("<h1>") + title + "</h1>\n<p>" + std::to_string(places.size()) +
                     " places. Search by city, &ldquo;City, ST&rdquo; or US ZIP code.</p>\n<ul>\n";
  for (const Place& place : places)
    body += "<li><a href=\"/report/" + place.slug + "\">" + place.name + "</a></li>\n";
  body += "</ul>\n";
  return document(title, body, live ? kLiveFooter : kSampleFooter);
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The number of one path segment, after `path` has lost its prefix.
std::optional<int> segmentNumber(std::string_view& path) {
  if (path.empty()) return std::nullopt;  // "/slow" with nothing after it
  std::size_t end = path.find('/', 1);
  std::string_view digits =
      path.substr(1, end == std::string_view::npos ? path.size() - 1 : end - 1);
  int value = 0;
  auto [last, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || last != digits.data() + digits.size() || digits.empty() ||
      digits[0] == '-')
    return std::nullopt;
  path.remove_prefix(1 + digits.size());
  return value;
}

// A path prefix is whole only when a '/' or the end follows it.
bool takeWord(std::string_view& path, std::string_view word) {
  if (!startsWith(path, word)) return false;
  if (path.size() > word.size() && path[word.size()] != '/') return false;
  path.remove_prefix(word.size());
  return true;
}

// The value of "location=": the program escapes nothing, so an '&' or '#' in
// the query arrives raw and the value runs to the end of the target.
std::optional<std::string_view> locationParameter(std::string_view query) {
  for (std::size_t at = 0; at < query.size();) {
    if (startsWith(query.substr(at), "location=")) return query.substr(at + 9);
    at = query.find('&', at);
    if (at == std::string_view::npos) break;
    ++at;
  }
  return std::nullopt;
}

Answer page(int status, std::string body, const char* cacheControl) {
  return {status, std::move(body), 0, false, cacheControl};
}

Answer report(const Place& place, UnixTime now, const Routing& routing) {
  if (routing.report) return routing.report(place, now);
  return page(200, reportPage(place, weatherAt(place, now), now), cache_control::kReport);
}

Answer route(const std::vector<Place>& places, std::string_view path, std::string_view query,
             UnixTime now, const Routing& routing) {
  if (routing.world) {
    if (routing.canonical)
      if (auto other = routing.canonical(path, query)) return *std::move(other);
    auto location = path == "/" || path.empty() ? locationParameter(query) : std::nullopt;
    WorldAnswer answer = answerWorld(*routing.world, path, location);
    if (answer.report) return report(*answer.report, now, routing);
    bool home = answer.status == 200 && (path == "/" || path.empty()) && !location;
    return page(answer.status, std::move(answer.body),
                home                   ? cache_control::kHome
                : answer.status == 200 ? cache_control::kResults
                                       : cache_control::kNotFound);
  }
  if (path == "/" || path.empty()) {
    auto location = locationParameter(query);
    if (!location) return page(200, homePage(places, routing.live), cache_control::kHome);
    std::string text = decodeQuery(*location);
    QueryMatch match = matchQuery(places, text);
    if (match.exact) return report(*match.exact, now, routing);
    if (match.matches.empty()) return page(200, notFoundPage(text), cache_control::kNotFound);
    return page(200, resultsPage(text, match.matches), cache_control::kResults);
  }
  if (startsWith(path, "/report/")) {
    const Place* place = findBySlug(places, path.substr(8));
    if (place) return report(*place, now, routing);
    return page(404, notFoundPage(decodeQuery(path.substr(8))), cache_control::kNotFound);
  }
  // A direct hit's link: "/" + the query with '_' for spaces.
  std::string text = decodeQuery(path.substr(1));
  QueryMatch match = matchQuery(places, text);
  if (match.exact) return report(*match.exact, now, routing);
  return page(404, notFoundPage(text), cache_control::kNotFound);
}

// The report page's markup, which the program reads by byte offsets: keep
// the bytes between each marker and its value as they are.
std::string reportSection(const Place& place, int temperatureF, int feelsLikeF,
                          std::string_view updated, std::string_view moreDetails) {
  std::string body;
  body += "<section class=\"report\">\n";
  body += "<p class=\"lead\">Reports and Weather For: <em>" + place.name + "</em></p>\n";
  body += "<h1 id=\"currentWeather\">" + place.name + "</h1>\n";
  body += "<p class=\"updated\">";
  body += updated;
  body += "</p>\n<div class=\"now\">\n";
  body += "<span id=\"currentTemperature\">" + std::to_string(temperatureF) + "&deg;F</span>\n";
  body += "<dl class=\"details\">\n";
  body += "<dt>Feels Like:</dt><dd class=\"value feels-like\">" + std::to_string(feelsLikeF) +
          "&deg;F</dd>\n";
  body += moreDetails;
  body += "</dl>\n</div>\n</section>\n";
  return body;
}

}  // namespace

std::string pageDocument(std::string_view title, std::string_view body) {
  return document(title, body);
}

std::string echoQuery(std::string_view query) { return echo(query); }

std::string escapeHtml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string reportPage(const Place& place, const Weather& weather, UnixTime now) {
  double hour = solarHour(place.longitude, now);
  int minutes = int(hour * 60) % (24 * 60);
  char solar[8];
  std::snprintf(solar, sizeof solar, "%02d:%02d", minutes / 60, minutes % 60);
  std::string updated = "Updated " + formatUtc(now) + " (local solar time " + solar + ")";
  std::string details = "<dt>Wind:</dt><dd class=\"value\">" + std::to_string(weather.windMph) +
                        " mph</dd>\n" + "<dt>Humidity:</dt><dd class=\"value\">" +
                        std::to_string(weather.humidityPercent) + "%</dd>\n";
  return document(place.name + " &mdash; Current Conditions",
                  reportSection(place, weather.temperatureF, weather.feelsLikeF, updated, details));
}

std::string liveReportPage(const Place& place, int temperatureF, int feelsLikeF, UnixTime fetched,
                           bool stale) {
  std::string updated =
      (stale ? "Last known conditions, from " : "Current conditions, from ") + formatUtc(fetched);
  return document(place.name + " &mdash; Current Conditions",
                  reportSection(place, temperatureF, feelsLikeF, updated, ""), kLiveFooter);
}

std::string unavailablePage(const Place& place) {
  return document("Weather unavailable",
                  "<h1>Weather unavailable</h1>\n<p>No current conditions for " + place.name +
                      " can be had just now. Please try again in a few minutes.</p>\n",
                  kLiveFooter);
}

std::string resultsPage(std::string_view query, const std::vector<const Place*>& matches) {
  bool anyTop = false, allTop = true;
  for (const Place* place : matches) {
    anyTop = anyTop || place->rank == Rank::Top;
    allTop = allTop && place->rank == Rank::Top;
  }
  std::string body = "<h1>Search results for &ldquo;" + echo(query) + "&rdquo;</h1>\n";
  body += "<p>" + std::to_string(matches.size()) + (matches.size() == 1 ? " place" : " places") +
          " found.</p>\n<section class=\"results\">\n";
  bool split = anyTop && !allTop;
  if (split) {
    body += "<h2>Top locations &mdash; most searched</h2>\n<ul>\n";
    for (const Place* place : matches)
      if (place->rank == Rank::Top) addLink(body, kFirstKind, *place);
    body += "</ul>\n<h2>More locations &mdash; all other matches</h2>\n<ul>\n";
  } else {
    body += "<h2>Matching locations &mdash; by name</h2>\n<ul>\n";
  }
  for (const Place* place : matches) {
    if (split && place->rank == Rank::Top) continue;
    addLink(body, place->rank == Rank::Minor ? kSecondKind : kFirstKind, *place);
  }
  body += "</ul>\n</section>\n";
  return document("Search results for " + echo(query), body);
}

std::string notFoundPage(std::string_view query) {
  return document("No match for " + echo(query),
                  "<h1>Unknown location</h1>\n<p>No place matches &ldquo;" + echo(query) +
                      "&rdquo;. Try a city name, &ldquo;City, ST&rdquo; or a US ZIP "
                      "code.</p>\n");
}

std::string_view takeFaults(std::string_view path, Faults& faults) {
  for (;;) {
    std::string_view rest = path;
    if (takeWord(rest, "/slow")) {
      auto ms = segmentNumber(rest);
      if (!ms) return path;
      faults.delayMs = std::min(kMaxDelayMs, faults.delayMs + std::min(*ms, kMaxDelayMs));
    } else if (takeWord(rest, "/status")) {
      auto code = segmentNumber(rest);
      if (!code || *code < 200 || *code > 599) return path;
      faults.status = *code;
    } else if (takeWord(rest, "/empty")) {
      faults.empty = true;
    } else if (takeWord(rest, "/nomarkers")) {
      faults.noMarkers = true;
    } else if (takeWord(rest, "/cut")) {
      faults.cut = true;
    } else {
      return path;
    }
    path = rest.empty() ? std::string_view("/") : rest;
  }
}

Answer answerRequest(const std::vector<Place>& places, std::string_view target, UnixTime now,
                     const Routing& routing) {
  std::size_t mark = target.find('?');
  std::string_view path = target.substr(0, mark);
  std::string_view query = mark == std::string_view::npos ? "" : target.substr(mark + 1);
  Faults faults = routing.defaults;
  if (routing.faultPrefixes) path = takeFaults(path, faults);
  faults.delayMs = std::clamp(faults.delayMs, 0, kMaxDelayMs);

  Answer answer = route(places, path, query, now, routing);
  // Live data is attributed on every page, the world's pages too.
  if (std::size_t at = answer.body.rfind(kSampleFooter); routing.live && at != std::string::npos)
    answer.body.replace(at, std::string_view(kSampleFooter).size(), kLiveFooter);
  if (faults.status) {
    answer.status = faults.status;
    if (faults.status >= 400) answer.body = errorPage(faults.status);
  }
  if (faults.noMarkers) answer.body = quietPage();
  if (faults.empty) answer.body.clear();
  answer.delayMs = faults.delayMs;
  answer.cut = faults.cut;
  // A page bent on purpose must not outlive the test in a cache.
  if (faults.status || faults.noMarkers || faults.empty || faults.cut)
    answer.cacheControl = cache_control::kNone;
  return answer;
}

Answer answerRequest(const std::vector<Place>& places, std::string_view target, UnixTime now,
                     const Faults& defaults, const Gazetteer* world) {
  Routing routing;
  routing.defaults = defaults;
  routing.world = world;
  return answerRequest(places, target, now, routing);
}
