#include "service/places/world_source.h"

#include <cmath>
#include <memory>

#include "service/places/canonical_link.h"
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

Listed listed(const Located& place) {
  return {place.name, reportLink(place.name, place.latitude, place.longitude),
          place.population >= kMainPlacePopulation ? LinkKind::Main : LinkKind::Minor};
}

ResultList listPlaces(const std::vector<Located>& places) {
  ResultList list;
  list.topNote = "best matches";
  list.matchingNote = "best matches first";
  for (const Located& place : places) {
    bool top = place.population >= kMainPlacePopulation && list.top.size() < kTopCount;
    (top ? list.top : list.more).push_back(listed(place));
  }
  if (list.more.empty()) std::swap(list.top, list.more);
  return list;
}

HomeText home(const Gazetteer& world) {
  HomeText text;
  text.title = "Weather for the world's towns";
  text.intro =
      "<p>" + std::to_string(world.places.size()) + " towns of 1,000 people or more and " +
      std::to_string(world.zips.size()) +
      " US ZIP codes. Search by city, &ldquo;City, ST&rdquo;, &ldquo;City, Country&rdquo; or "
      "ZIP code.</p>\n"
      "<p class=\"attribution\">Places from <a href=\"https://www.geonames.org/\">GeoNames</a>, "
      "licensed under <a href=\"https://creativecommons.org/licenses/by/4.0/\">CC BY 4.0</a>; "
      "ZIP code areas from the US Census Bureau.</p>\n";
  return text;
}

}  // namespace

Place worldPlace(const Located& located) {
  Place place;
  place.name = located.name;
  place.latitude = std::round(located.latitude * 1e4) / 1e4;
  place.longitude = std::round(located.longitude * 1e4) / 1e4;
  place.link = reportLink(located.name, located.latitude, located.longitude);
  place.slug = place.link;
  place.climate = latitudeClimate(place.latitude);
  return place;
}

PlaceSource worldSource(Gazetteer gazetteer) {
  auto world = std::make_shared<const Gazetteer>(std::move(gazetteer));
  PlaceSource source;
  source.count = world->places.size();
  source.search = [world](std::string_view query) {
    Found found;
    WorldMatch match = searchWorld(*world, query);
    if (match.hit)
      found.hit = worldPlace(*match.hit);
    else
      found.list = listPlaces(match.listed);
    return found;
  };
  source.resolve = [](std::string_view path) -> std::optional<Place> {
    auto link = parseReportLink(path);
    if (!link) return std::nullopt;
    return worldPlace({link->name, link->latitude, link->longitude});
  };
  source.canonical = [world](std::string_view path, bool hasQuery) {
    return checkReportLink(*world, path, hasQuery);
  };
  source.home = [world](bool) { return home(*world); };
  return source;
}
