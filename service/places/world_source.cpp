#include "service/places/world_source.h"

#include <algorithm>
#include <cmath>

#include "service/pages/pages.h"
#include "service/places/report_link.h"

// A results page lists at most 50 towns in the order the search gives, the
// best matches first. When some are main towns (5,000 people or more), "Top
// locations &mdash;" holds the first ten of those as first-kind links and
// "More locations &mdash;" the rest, main towns as first-kind and smaller ones as
// second-kind links: the program lists the first kind of both sections, and
// with "extended" both kinds of the second. When none is a main town, one
// "Matching locations &mdash;" section of second-kind links makes the
// program fall back to them and tick "extended".

namespace {

constexpr std::size_t kTopCount = 10;
constexpr double kPi = 3.14159265358979323846;

const char* kFirstKind = "<a class=\"resolveLinkSpecial\" href=\"";
const char* kSecondKind = "<a class=\"resolveLink\" href=\"";

void addLink(std::string& body, const Located& place) {
  body += "<li>";
  body += place.population >= kMainPlacePopulation ? kFirstKind : kSecondKind;
  body +=
      reportLink(place.name, place.latitude, place.longitude) + "\">" + place.name + "</a></li>\n";
}

std::string homePage(const Gazetteer& world) {
  std::string body =
      "<h1>Weather for the world's towns</h1>\n<p>" + std::to_string(world.places.size()) +
      " towns of 1,000 people or more and " + std::to_string(world.zips.size()) +
      " US ZIP codes. Search by city, &ldquo;City, ST&rdquo;, &ldquo;City, Country&rdquo; or "
      "ZIP code.</p>\n"
      "<p class=\"attribution\">Places from <a href=\"https://www.geonames.org/\">GeoNames</a>, "
      "licensed under <a href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>; "
      "ZIP code areas from the US Census Bureau.</p>\n";
  return pageDocument("Weather for the world's towns", body);
}

}  // namespace

Place worldPlace(const Located& located) {
  Place place;
  place.name = located.name;
  // As the link has them, so that a direct hit and its link agree.
  place.latitude = std::round(located.latitude * 1e4) / 1e4;
  place.longitude = std::round(located.longitude * 1e4) / 1e4;
  place.slug = reportLink(located.name, located.latitude, located.longitude);
  // Warm and steady near the equator, colder with a wider year towards the
  // poles; summer in July in the north and in January in the south.
  double distance = std::fabs(located.latitude);
  double meanF = 80 - 0.9 * std::max(0.0, distance - 15);
  double halfRangeF = std::min(30.0, 0.5 * distance) * (located.latitude < 0 ? -1 : 1);
  for (int month = 0; month < 12; ++month)
    place.monthlyMeanF[month] = meanF - halfRangeF * std::cos(2 * kPi * month / 12);
  place.dailySwingF = 16;
  return place;
}

std::string worldResultsPage(std::string_view query, const std::vector<Located>& listed) {
  std::vector<const Located*> top, rest;
  for (const Located& place : listed)
    (place.population >= kMainPlacePopulation && top.size() < kTopCount ? top : rest)
        .push_back(&place);
  std::string body = "<h1>Search results for &ldquo;" + echoQuery(query) + "&rdquo;</h1>\n";
  body += "<p>" + std::to_string(listed.size()) + (listed.size() == 1 ? " place" : " places") +
          " found.</p>\n<section class=\"results\">\n";
  if (!top.empty() && !rest.empty()) {
    body += "<h2>Top locations &mdash; best matches</h2>\n<ul>\n";
    for (const Located* place : top) addLink(body, *place);
    body += "</ul>\n<h2>More locations &mdash; all other matches</h2>\n<ul>\n";
  } else {
    body += "<h2>Matching locations &mdash; best matches first</h2>\n<ul>\n";
    rest.insert(rest.begin(), top.begin(), top.end());
  }
  for (const Located* place : rest) addLink(body, *place);
  body += "</ul>\n</section>\n";
  return pageDocument("Search results for " + echoQuery(query), body);
}

WorldAnswer answerWorld(const Gazetteer& world, std::string_view path,
                        std::optional<std::string_view> location) {
  if (path == "/" || path.empty()) {
    if (!location) return {std::nullopt, 200, homePage(world)};
    std::string text = decodeQuery(*location);
    WorldMatch match = searchWorld(world, text);
    if (match.hit) return {worldPlace(*match.hit), 200, ""};
    if (match.listed.empty()) return {std::nullopt, 200, notFoundPage(text)};
    return {std::nullopt, 200, worldResultsPage(text, match.listed)};
  }
  if (path.starts_with("/report/")) {
    auto link = parseReportLink(path);
    if (link) return {worldPlace({link->name, link->latitude, link->longitude}), 200, ""};
    return {std::nullopt, 404, notFoundPage(decodeQuery(path.substr(8)))};
  }
  // A direct hit's link: "/" + the query with '_' for spaces.
  std::string text = decodeQuery(path.substr(1));
  WorldMatch match = searchWorld(world, text);
  if (match.hit) return {worldPlace(*match.hit), 200, ""};
  return {std::nullopt, 404, notFoundPage(text)};
}
