#include "service/places/canonical_link.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "service/places/report_link.h"

namespace {

constexpr std::string_view kPrefix = "/report/";

// A coordinate as anyone might write it: up to 12 decimals, or none.
std::optional<double> loose(std::string_view text, double limit) {
  return linkDecimal(text, limit, 0, 12);
}

// Rounded as reportLink prints it, so a place and its link share a key.
std::int32_t fixed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.4f", value);
  return std::int32_t(std::lround(std::strtod(text, nullptr) * 10000));
}

bool before(const CoordinateKey& a, const CoordinateKey& b) {
  return std::tie(a.latitude, a.longitude, a.item) < std::tie(b.latitude, b.longitude, b.item);
}

}  // namespace

std::vector<CoordinateKey> coordinateKeys(const Gazetteer& world) {
  std::vector<CoordinateKey> keys;
  keys.reserve(world.places.size() + world.zips.size());
  std::uint32_t item = 0;
  for (const WorldPlace& place : world.places)
    keys.push_back({fixed(degrees(place.latitude)), fixed(degrees(place.longitude)), item++});
  for (const ZipCode& zip : world.zips)
    keys.push_back({fixed(degrees(zip.latitude)), fixed(degrees(zip.longitude)), item++});
  std::sort(keys.begin(), keys.end(), before);
  return keys;
}

std::vector<std::string> linksAt(const Gazetteer& world, double latitude, double longitude) {
  const auto& keys = world.coordinates;
  CoordinateKey key{fixed(latitude), fixed(longitude), 0};
  std::vector<std::string> links;
  for (auto it = std::lower_bound(keys.begin(), keys.end(), key, before);
       it != keys.end() && it->latitude == key.latitude && it->longitude == key.longitude &&
       links.size() < 16;
       ++it) {
    if (it->item < world.places.size()) {
      const WorldPlace& place = world.places[it->item];
      links.push_back(
          reportLink(displayName(world, place), degrees(place.latitude), degrees(place.longitude)));
    } else {
      const ZipCode& zip = world.zips[it->item - world.places.size()];
      links.push_back(
          reportLink(zipName(world, zip), degrees(zip.latitude), degrees(zip.longitude)));
    }
  }
  return links;
}

LinkVerdict checkReportLink(const Gazetteer& world, std::string_view path, bool hasQuery) {
  std::string_view rest = path.substr(std::min(path.size(), kPrefix.size()));
  std::size_t comma = rest.find(','), slash = rest.find('/');
  std::optional<double> latitude, longitude;
  if (path.starts_with(kPrefix) && comma < rest.size() &&
      (slash == std::string_view::npos || comma < slash)) {
    latitude = loose(rest.substr(0, comma), 90);
    longitude =
        loose(rest.substr(comma + 1, slash == std::string_view::npos ? std::string_view::npos
                                                                     : slash - comma - 1),
              180);
  }
  if (!latitude || !longitude) return {404, ""};
  std::vector<std::string> links = linksAt(world, *latitude, *longitude);
  if (links.empty()) return {404, ""};
  bool canonical = std::find(links.begin(), links.end(), path) != links.end();
  // A name that a results page gave a town to tell it from its namesakes
  // ("Geneva, Ashtabula County, OH") is that town's link too, at the
  // coordinates exactly as the service writes them.
  auto parsed = parseReportLink(path);
  const auto& keys = world.coordinates;
  CoordinateKey key{fixed(*latitude), fixed(*longitude), 0};
  for (auto it = std::lower_bound(keys.begin(), keys.end(), key, before);
       !canonical && parsed && it != keys.end() && it->latitude == key.latitude &&
       it->longitude == key.longitude && it->item < world.places.size();
       ++it) {
    const WorldPlace& place = world.places[it->item];
    canonical = reportLink(parsed->name, *latitude, *longitude) == path &&
                isListedName(world, place, parsed->name);
  }
  if (canonical)
    return hasQuery ? LinkVerdict{301, std::string(path)} : LinkVerdict{200, std::string(path)};
  // Another form of a place's link: the place it names, else the first.
  std::string_view name = slash == std::string_view::npos ? "" : rest.substr(slash + 1);
  for (const std::string& link : links)
    if (!name.empty() && link.ends_with("/" + std::string(name))) return {301, link};
  return {301, links.front()};
}
