#pragma once
// Owns the sample places: the hand-made places of the sample data file, the
// matching of a search query against them, and their place source.

#include <string>
#include <string_view>
#include <vector>

#include "service/places/place.h"

struct PlaceData {
  std::vector<Place> places;
  std::string error;  // empty when the data was read whole
};

// Parses the tab-separated data file's text; stops at the first bad line.
PlaceData parsePlaces(std::string_view text);
PlaceData loadPlaces(const std::string& path);

struct QueryMatch {
  const Place* exact = nullptr;  // set when the query names exactly one place
  std::vector<const Place*> matches;
};

// A postal code, a whole name or a city name held by only one place is an
// exact hit. Otherwise every place is listed that has a name word starting
// with the query or a postal code starting with it.
QueryMatch matchQuery(const std::vector<Place>& places, std::string_view query);

const Place* findBySlug(const std::vector<Place>& places, std::string_view slug);

// The places as a source: their hand-made ranks decide the sections.
PlaceSource sampleSource(std::vector<Place> places);
