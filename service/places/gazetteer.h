#pragma once
// Owns the world's towns and the US ZIP codes, loaded from the data file that
// tools/gazetteer builds, and the search over them. Names are plain ASCII
// already; a query is folded to the same match keys (see text_fold.h).
//
// The data file is tab-separated text, one record a line, '#' a comment:
//   C  code  English name                        a country
//   S  code  name                                a US state (or territory)
//   P  city  country  region  population  lat  lon
//   Z  zip  state  lat  lon  nearest city (may be empty)
// "region" is the state code for US places and empty elsewhere.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct WorldPlace {
  std::string_view city;
  std::string_view region;
  std::uint16_t country = 0;  // index into Gazetteer::countries
  std::uint32_t population = 0;
  double latitude = 0, longitude = 0;
};

struct ZipCode {
  std::uint32_t code = 0;
  std::string_view state;
  std::string_view nearest;  // the nearest town of its state within 30 km, or empty
  double latitude = 0, longitude = 0;
};

struct Region {
  std::string_view code, name;
  std::string codeKey, nameKey;  // match keys
};

struct Gazetteer {
  // The file's bytes, which every view here points into; shared, so that
  // the views outlive a move of the whole.
  std::shared_ptr<const std::string> text;
  std::vector<Region> countries, states;
  std::vector<WorldPlace> places;  // the most populous first
  std::vector<ZipCode> zips;       // by code
  // The match key of every city, back to back; a place's key runs from
  // keyStart[i] to keyStart[i + 1].
  std::string keys;
  std::vector<std::uint32_t> keyStart;
  // Every word start of every key, sorted by the key's text from there.
  struct Entry {
    std::uint32_t place;
    std::uint32_t offset;
  };
  std::vector<Entry> index;
  // A segment tree of the least place (the most populous) over the index:
  // leaves from rangeMin.size() / 2 on. A prefix's matches are one range of
  // the index; the tree yields its most populous places without visiting
  // the whole range.
  std::vector<std::uint32_t> rangeMin;
  std::string error;  // empty when the file was read whole
};

Gazetteer parseGazetteer(std::string text);
Gazetteer loadGazetteer(const std::string& path);

std::string_view placeKey(const Gazetteer& world, std::uint32_t place);

// "San Diego, CA" in the United States, "Zurich, Switzerland" elsewhere.
std::string displayName(const Gazetteer& world, const WorldPlace& place);

// "Beverly Hills, CA 90210", or "ZIP 59715, MT" with no town near.
std::string zipName(const ZipCode& zip);

// Towns with fewer people are listed as minor places.
constexpr std::uint32_t kMainPlacePopulation = 5000;
constexpr std::size_t kMaxListed = 50;

struct Located {
  std::string name;
  double latitude = 0, longitude = 0;
};

struct WorldMatch {
  std::optional<Located> hit;             // a direct hit
  std::vector<const WorldPlace*> listed;  // otherwise, the most populous first
};

// `query` is the decoded query text, in UTF-8 or Windows-1252. Forms: a name
// or the beginning of a name word; "City, ST" or "City, Country" (the part
// after the comma narrows by state code or name, country code or name); a
// ZIP code or ZIP+4. One match, an exact "City, ST" or "City, Country", or a
// known ZIP code is a direct hit.
WorldMatch searchWorld(const Gazetteer& world, std::string_view query);
