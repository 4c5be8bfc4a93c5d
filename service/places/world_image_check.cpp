#include "service/places/world_image_check.h"

#include <algorithm>

#include "service/places/world_tables.h"

// The checksum finds a damaged image; these checks hold for any image that
// passes it, so that even one made to deceive is never read out of bounds.
// They run once at opening, each a pass over one table.

namespace {

bool inArena(const Gazetteer& world, std::uint32_t offset) { return offset < world.arena.size(); }

bool regionsFit(const Gazetteer& world, std::span<const Region> regions) {
  return std::all_of(regions.begin(), regions.end(), [&](const Region& r) {
    return inArena(world, r.code) && inArena(world, r.name) && inArena(world, r.codeKey) &&
           inArena(world, r.nameKey) && inArena(world, r.shortKey);
  });
}

bool placesFit(const Gazetteer& world) {
  std::uint32_t fewer = UINT32_MAX;  // most populous first: a place's number is its rank
  for (const WorldPlace& p : world.places) {
    if (!inArena(world, p.city) || !inArena(world, p.county) ||
        p.country >= world.countries.size() || p.region > world.regions.size() || p.district > 1 ||
        p.population > fewer)
      return false;
    fewer = p.population;
  }
  return true;
}

bool zipsFit(const Gazetteer& world) {
  for (std::size_t i = 0; i < world.zips.size(); ++i) {
    const ZipCode& zip = world.zips[i];
    if (!inArena(world, zip.nearest) || (i > 0 && world.zips[i - 1].code > zip.code)) return false;
  }
  return true;
}

// `placeBits`: the bits of an entry's place that number it; the rest are marks.
bool entriesFit(const Gazetteer& world, std::span<const Gazetteer::Entry> entries,
                std::uint32_t placeBits) {
  return std::all_of(entries.begin(), entries.end(), [&](const Gazetteer::Entry& e) {
    return (e.place & placeBits) < world.places.size() && inArena(world, e.offset);
  });
}

// The tree as buildIndex makes it: its leaves the index's places, each
// node the least of its two.
bool rangeTreeFits(const Gazetteer& world) {
  const auto& tree = world.rangeMin;
  std::size_t leaves = 1;
  while (leaves < world.index.size()) leaves *= 2;
  if (tree.size() != 2 * leaves) return false;
  for (std::size_t i = 0; i < leaves; ++i) {
    std::uint32_t place =
        i < world.index.size() ? world.index[i].place & ~Gazetteer::kWhole : UINT32_MAX;
    if (tree[leaves + i] != place) return false;
  }
  for (std::size_t node = 1; node < leaves; ++node)
    if (tree[node] != std::min(tree[2 * node], tree[2 * node + 1])) return false;
  return true;
}

bool coordinatesFit(const Gazetteer& world) {
  std::size_t items = world.places.size() + world.zips.size();
  return std::all_of(world.coordinates.begin(), world.coordinates.end(),
                     [&](const CoordinateKey& key) { return key.item < items; });
}

}  // namespace

std::string checkWorldTables(const Gazetteer& world) {
  if (world.arena.empty() || world.arena.front() != '\0' || world.arena.back() != '\0')
    return "names not ended";
  if (world.places.empty()) return "no places";
  if (!regionsFit(world, world.countries) || !regionsFit(world, world.regions))
    return "regions out of range";
  if (!placesFit(world)) return "places out of range";
  if (!zipsFit(world)) return "ZIP codes out of range";
  if (!entriesFit(world, world.index, ~Gazetteer::kWhole) ||
      !entriesFit(world, world.others, kPlaceBits) || !entriesFit(world, world.typoSet, UINT32_MAX))
    return "index out of range";
  if (!rangeTreeFits(world)) return "range tree out of range";
  if (!coordinatesFit(world)) return "coordinates out of range";
  return "";
}
