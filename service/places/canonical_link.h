#pragma once
// One link per place: a report link of the world's towns must name a known
// town or ZIP code exactly as reportLink writes it. Another form of the same
// place (more decimals, a trailing zero, another name, a query string) is
// sent to the canonical link for good; coordinates where no place lies are
// not found. So a cache in front keeps one copy per place, and no one can
// make the service ask the upstream for a point of their choosing.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/places/gazetteer.h"
#include "service/places/place.h"

// The gazetteer's towns and ZIP codes by their coordinates to 4 decimals,
// as the image holds them (Gazetteer::coordinates).
std::vector<CoordinateKey> coordinateKeys(const Gazetteer& world);

// The canonical links of the places at these coordinates, rounded to 4
// decimals; the most populous town first.
std::vector<std::string> linksAt(const Gazetteer& world, double latitude, double longitude);

// `path` is a "/report/..." path as sent; `hasQuery` whether a query followed.
LinkVerdict checkReportLink(const Gazetteer& world, std::string_view path, bool hasQuery);
