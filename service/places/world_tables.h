#pragma once
// The world's tables as the loader builds them from the data file's text,
// owned: an image is written from them (world_image.h), and the service
// searches that image where it lies.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "service/places/gazetteer.h"

struct WorldTables {
  std::string arena;
  std::vector<Region> countries, regions;
  std::vector<WorldPlace> places;
  std::vector<ZipCode> zips;
  std::vector<Gazetteer::Entry> index, others, typoSet;
  std::vector<std::uint32_t> rangeMin;
  std::vector<CoordinateKey> coordinates;
  std::string error;  // empty when the text was read whole
};

// Other names marked so in the data file are as good as the town's own
// ("NYC"): their entries carry kTrusted.
constexpr std::uint32_t kTrusted = 1u << 30;
constexpr std::uint32_t kPlaceBits = kTrusted - 1;
// Typos are tried against the towns people mostly mean; more would be slow
// and would offer villages for a misspelt city.
constexpr std::uint32_t kTypoPopulation = 15000;

// The tables of a data file's text, or of its lines as `next` gives them.
WorldTables readWorldText(std::string_view text);
WorldTables readWorldFile(const std::string& path);

// Puts the places in order, most populous first, and builds the index, the
// other names' list, the typo set and the coordinates over them. `intern`
// gives a text's arena offset, adding it once.
void buildIndex(WorldTables& world, const std::function<std::uint32_t(std::string_view)>& intern);
