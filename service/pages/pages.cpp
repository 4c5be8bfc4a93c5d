#include "service/pages/pages.h"

#include "service/pages/outlook_markup.h"
#include "service/weather/open_meteo_answer.h"

#include <cstdio>
#include <optional>

// What the program reads, by byte matching, from these pages:
//
// Report page: `currentWeather"` + one byte + the name up to '<'; later
// `currentTemperature"` + one byte + the value up to '&'; and "Feels Like:<"
// + 33 bytes + the value up to '&'. Every report page also opens with
// "Reports and Weather For" + 6 bytes + the name, which a search takes as a
// direct hit.
//
// Results page of the sample places, by query shape (see matchQuery; the
// world's towns choose their sections in world_source.cpp):
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

// "2026-12-07T14:05Z".
std::string isoMinute(UnixTime time) {
  std::string text = formatUtc(time);  // "2026-12-07 14:05 UTC"
  return text.substr(0, 10) + "T" + text.substr(11, 5) + "Z";
}

const char* kMainLink = "<a class=\"resolveLinkSpecial\" href=\"";
const char* kMinorLink = "<a class=\"resolveLink\" href=\"";

const char* kSampleFooter = "<p>Sample weather service. Data for demonstration only.</p>\n";
const char* kLiveFooter =
    "<p class=\"attribution\">Weather data by <a href=\"https://open-meteo.com/\">"
    "Open-Meteo.com</a></p>\n";

// What a report page's head tells the program beside its markers, in meta
// tags, which hold no marker it reads: when the weather was observed, so it
// can tell an old reading from a new one, and the readings to a tenth of a
// degree, so that it rounds once, from the reading itself.
struct PageHead {
  std::optional<UnixTime> observed;
  std::optional<double> temperatureF, feelsLikeF;
  DayOutlook outlook;
  std::string_view extra = {};  // more marks, written whole by their own writers
};

std::string tenths(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", value);
  return text;
}

std::string document(std::string_view title, std::string_view body, Attribution attribution,
                     const PageHead& head = {}) {
  std::string page;
  page.reserve(body.size() + 1024);
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n";
  page += "<meta charset=\"windows-1252\">\n";
  if (head.observed)
    page += "<meta name=\"skyvane-observed\" content=\"" + isoMinute(*head.observed) + "\">\n";
  if (head.temperatureF)
    page += "<meta name=\"skyvane-temperature\" content=\"" + tenths(*head.temperatureF) + "\">\n";
  if (head.feelsLikeF)
    page += "<meta name=\"skyvane-feels-like\" content=\"" + tenths(*head.feelsLikeF) + "\">\n";
  page += outlookHeadMarks(head.outlook);
  // Whose data the page shows, for the program's credit.
  if (attribution == Attribution::Live)
    page += "<meta name=\"skyvane-source\" content=\"open-meteo\">\n";
  page += head.extra;
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
  page += attribution == Attribution::Live ? kLiveFooter : kSampleFooter;
  page += "</footer>\n</body>\n</html>\n";
  return page;
}

void escapeByte(std::string& text, char c) {
  switch (c) {
    case '&':
      text += "&amp;";
      break;
    case '<':
      text += "&lt;";
      break;
    case '>':
      text += "&gt;";
      break;
    case '"':
      text += "&quot;";
      break;
    case '\'':
      text += "&#39;";
      break;
    default:
      text += c;
  }
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
      escapeByte(text, char(c));
  }
  if (query.size() > limit) text += "&hellip;";
  return text;
}

void addLink(std::string& page, const Listed& entry) {
  page += "<li>";
  page += entry.kind == LinkKind::Main ? kMainLink : kMinorLink;
  page += entry.link + "\">" + entry.name + "</a></li>\n";
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

std::string reportPage(const Place& place, const Weather& weather, UnixTime now) {
  double hour = solarHour(place.longitude, now);
  int minutes = int(hour * 60) % (24 * 60);
  char solar[8];
  std::snprintf(solar, sizeof solar, "%02d:%02d", minutes / 60, minutes % 60);
  std::string updated = "Updated " + formatUtc(now) + " (local solar time " + solar + ")";
  std::string details = outlookDetails(weather.outlook) + "<dt>Wind:</dt><dd class=\"value\">" +
                        std::to_string(weather.windMph) + " mph</dd>\n" +
                        "<dt>Humidity:</dt><dd class=\"value\">" +
                        std::to_string(weather.humidityPercent) + "%</dd>\n";
  return document(place.name + " &mdash; Current Conditions",
                  reportSection(place, weather.temperatureF, weather.feelsLikeF, updated, details),
                  Attribution::Sample, {now, weather.exactF, std::nullopt, weather.outlook});
}

std::string liveReportPage(const Place& place, double temperatureF, double feelsLikeF,
                           UnixTime fetched, UnixTime observed, bool stale,
                           const DayOutlook& outlook, const PageExtras& extras) {
  std::string updated =
      (stale ? "Last known conditions, from " : "Current conditions, from ") + formatUtc(fetched);
  return document(place.name + " &mdash; Current Conditions",
                  reportSection(place, wholeDegrees(temperatureF), wholeDegrees(feelsLikeF),
                                updated, outlookDetails(outlook)) +
                      extras.body,
                  Attribution::Live, {observed, temperatureF, feelsLikeF, outlook, extras.head});
}

std::string unavailablePage(const Place& place) {
  return document("Weather unavailable",
                  "<h1>Weather unavailable</h1>\n<p>No current conditions for " + place.name +
                      " can be had just now. Please try again in a few minutes.</p>\n",
                  Attribution::Live);
}

std::string resultsPage(std::string_view query, const ResultList& list, Attribution attribution) {
  std::size_t count = list.top.size() + list.more.size();
  std::string body = "<h1>Search results for &ldquo;" + echo(query) + "&rdquo;</h1>\n";
  body += "<p>" + std::to_string(count) + (count == 1 ? " place" : " places") +
          " found.</p>\n<section class=\"results\">\n";
  if (!list.top.empty()) {
    body += "<h2>Top locations &mdash; ";
    body += list.topNote;
    body += "</h2>\n<ul>\n";
    for (const Listed& entry : list.top) addLink(body, entry);
    body += "</ul>\n<h2>More locations &mdash; all other matches</h2>\n<ul>\n";
  } else {
    body += "<h2>Matching locations &mdash; ";
    body += list.matchingNote;
    body += "</h2>\n<ul>\n";
  }
  for (const Listed& entry : list.more) addLink(body, entry);
  body += "</ul>\n</section>\n";
  return document("Search results for " + echo(query), body, attribution);
}

std::string notFoundPage(std::string_view query, Attribution attribution) {
  return document("No match for " + echo(query),
                  "<h1>Unknown location</h1>\n<p>No place matches &ldquo;" + echo(query) +
                      "&rdquo;. Try a city name, &ldquo;City, ST&rdquo; or a US ZIP "
                      "code.</p>\n",
                  attribution);
}

std::string movedPage(std::string_view link, Attribution attribution) {
  std::string escaped;
  for (char c : link) escapeByte(escaped, c);
  return document("Moved",
                  "<p>This place is at <a href=\"" + escaped + "\">" + escaped + "</a>.</p>\n",
                  attribution);
}

std::string homePage(const HomeText& home, Attribution attribution) {
  std::string body = "<h1>" + home.title + "</h1>\n" + home.intro;
  if (!home.entries.empty()) {
    body += "<ul>\n";
    for (const Listed& entry : home.entries)
      body += "<li><a href=\"" + entry.link + "\">" + entry.name + "</a></li>\n";
    body += "</ul>\n";
  }
  return document(home.title, body, attribution);
}

std::string errorPage(int status, Attribution attribution) {
  std::string code = std::to_string(status);
  return document("Error " + code,
                  "<h1>Error " + code +
                      "</h1>\n<p>The service could not answer this "
                      "request. Please try again later.</p>\n",
                  attribution);
}

std::string maintenancePage(Attribution attribution) {
  return document("Maintenance",
                  "<h1>Maintenance</h1>\n<p>The weather desk is resting. Please come back "
                  "in a few minutes.</p>\n",
                  attribution);
}

std::string refusalPage(int status) {
  std::string code = std::to_string(status);
  return "<!DOCTYPE html>\n<html><head><title>Error " + code + "</title></head><body><h1>Error " +
         code + "</h1></body></html>\n";
}
