#pragma once
// Owns the world's towns and the US ZIP codes, from the data file that
// tools/gazetteer builds (as the image made of it), and the search over them. Names are plain ASCII
// already; a query is folded to the same match keys (see text_fold.h).
//
// The data file is tab-separated text, one record a line, '#' a comment:
//   C  code  English name                        a country
//   S  code  name                                a US state (or territory)
//   R  country  code  name  short code           a first-level division elsewhere
//   P  city  country  region  population  lat  lon  [kind  county  other names]
//   Z  zip  state  lat  lon  nearest city (may be empty)
// "region" is the state code in the United States and the division's code
// (an R record's) elsewhere, or empty. "kind" is "district" for a section of
// a town that is listed itself; "county" the second-level division's name;
// "other names" are '|'-separated.
//
// The service reads none of that text: the build turns it into an image
// (world_image.h) that is mapped read-only and searched where it lies. Every
// name is held once in one arena; records of fixed size point into it. The
// records are laid out as the image stores them, so they hold no padding.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct Region {
  std::uint32_t code = 0, name = 0;                      // arena offsets of the display texts
  std::uint32_t codeKey = 0, nameKey = 0, shortKey = 0;  // of the match keys
  std::uint16_t country = 0;                             // the country's index, for divisions
  std::uint16_t spare = 0;
};

struct WorldPlace {
  std::uint32_t city = 0;    // arena offset of the display name
  std::uint32_t county = 0;  // arena offset, 0 for none
  std::uint32_t population = 0;
  std::int32_t latitude = 0, longitude = 0;  // in 1e-5 degrees
  std::uint16_t country = 0;                 // index into Gazetteer::countries
  std::uint16_t region = 0;                  // 1 + index into Gazetteer::regions, 0 for none
  std::uint8_t district = 0;                 // 1 for a section of a town
  std::uint8_t spare[3] = {};
};

struct ZipCode {
  std::uint32_t code = 0;
  std::uint32_t nearest = 0;  // arena offset of the nearest town of its state, 0 for none
  std::int32_t latitude = 0, longitude = 0;  // in 1e-5 degrees
  char state[2] = {};
  char spare[2] = {};
};

// A place's coordinates as its report link rounds them (to 1e-4 degrees),
// for finding the places of a link (see canonical_link.h).
struct CoordinateKey {
  std::int32_t latitude, longitude;  // in 1/10,000 of a degree
  std::uint32_t item;                // a town below places.size(), else a ZIP code
};

// Views of the world's tables, in an image's bytes that `storage` keeps.
struct Gazetteer {
  // Every text, each ended by a zero byte; offset 0 is the empty text.
  std::string_view arena;
  std::span<const Region> countries, regions;  // regions: US states and divisions elsewhere
  std::span<const WorldPlace> places;          // the most populous first
  std::span<const ZipCode> zips;               // by code
  // Every word start of every place's own name key, sorted by the key's text
  // from there; `place` has kWhole set when the word starts the name.
  struct Entry {
    std::uint32_t place;
    std::uint32_t offset;  // into arena
  };
  static constexpr std::uint32_t kWhole = 1u << 31;
  std::span<const Entry> index;
  // The places' other names, whole keys only, sorted by key.
  std::span<const Entry> others;
  // A segment tree of the least place (the most populous) over the index:
  // leaves from rangeMin.size() / 2 on. A prefix's matches are one range of
  // the index; the tree yields its most populous places without visiting
  // the whole range.
  std::span<const std::uint32_t> rangeMin;
  std::span<const Entry> typoSet;  // the towns typos are tried against, with their keys
  // Towns and ZIP codes by coordinates, then towns (most populous first),
  // then ZIP codes.
  std::span<const CoordinateKey> coordinates;
  std::shared_ptr<const void> storage;  // the mapped file or the bytes viewed
  std::string error;                    // empty when the world is whole
};

// The world of a data file's text (for the build and tests): read, indexed,
// made an image and opened as the service opens a file.
Gazetteer parseGazetteer(std::string_view text);
Gazetteer loadGazetteer(const std::string& path);
// The world of an image file, mapped read-only; an error when it is missing
// or not a whole, sound image of this version.
Gazetteer mapGazetteer(const std::string& path);

// A text of the arena.
std::string_view arenaText(const Gazetteer& world, std::uint32_t offset);
double degrees(std::int32_t value);

// "San Diego, CA" in the United States, "Zurich, Switzerland" elsewhere.
std::string displayName(const Gazetteer& world, const WorldPlace& place);

// Whether a results page may list `place` as `name`: its display name, or
// that name told apart from a namesake's by its division, its county or a
// number (see the results' distinct names).
bool isListedName(const Gazetteer& world, const WorldPlace& place, std::string_view name);

// "Beverly Hills, CA 90210", or "ZIP 59715, MT" with no town near.
std::string zipName(const Gazetteer& world, const ZipCode& zip);

// The match key of a name or query: matchKey's words with the usual short
// forms written out ("st" is "saint", "ft" "fort", "mt" "mount", "pt"
// "point", "ste" "sainte") and runs of single letters joined ("d c" is "dc").
std::string searchKey(std::string_view text);

// Towns with fewer people are listed as minor places.
constexpr std::uint32_t kMainPlacePopulation = 5000;
constexpr std::size_t kMaxListed = 50;
// The longest name a results page gives a place: the program shows it in a
// menu and a tooltip of 128 bytes beside the temperature.
constexpr std::size_t kMaxListedName = 60;

struct Located {
  std::string name;
  double latitude = 0, longitude = 0;
  std::uint32_t population = 0;
};

struct WorldMatch {
  std::optional<Located> hit;  // a direct hit
  // Otherwise the places in the order to list them, each with a name no
  // other of them has.
  std::vector<Located> listed;
};

// `query` is the decoded query text, in UTF-8 or Windows-1252. Forms: a name
// (a town's own or one of its other names) or the beginning of a word of an
// own name; that followed by a state, division or country (code or name),
// with or without a comma; a ZIP code, ZIP+4, or a ZIP code that lost its
// leading zero. A direct hit when the query names one place whole, or a
// whole name with a whole region (its most populous place), or a known ZIP
// code. When nothing matches, towns of 15,000 people or more within two
// edits are listed.
WorldMatch searchWorld(const Gazetteer& world, std::string_view query);
