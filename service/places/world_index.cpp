#include <algorithm>
#include <cstring>

#include "service/places/canonical_link.h"
#include "service/places/world_tables.h"

// The index over the places' names, built once by the build machine and
// stored in the image: the service only searches it.

namespace {

std::string_view textAt(const WorldTables& world, std::uint32_t offset) {
  return std::string_view(world.arena.data() + offset);
}

// The most populous first: a place's number is its rank. The file comes
// so; other orders are put right.
void orderPlaces(WorldTables& world) {
  auto morePeople = [](const WorldPlace& a, const WorldPlace& b) {
    return a.population > b.population;
  };
  if (std::is_sorted(world.places.begin(), world.places.end(), morePeople)) return;
  std::vector<std::uint32_t> order(world.places.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
    return morePeople(world.places[a], world.places[b]);
  });
  std::vector<WorldPlace> sorted;
  sorted.reserve(order.size());
  std::vector<std::uint32_t> rankOf(order.size());
  for (std::uint32_t rank = 0; rank < order.size(); ++rank) {
    sorted.push_back(world.places[order[rank]]);
    rankOf[order[rank]] = rank;
  }
  world.places = std::move(sorted);
  for (Gazetteer::Entry& other : world.others)
    other.place = rankOf[other.place & kPlaceBits] | (other.place & kTrusted);
}

void orderZipCodes(WorldTables& world) {
  auto byCode = [](const ZipCode& a, const ZipCode& b) { return a.code < b.code; };
  if (!std::is_sorted(world.zips.begin(), world.zips.end(), byCode))
    std::stable_sort(world.zips.begin(), world.zips.end(), byCode);
}

// Every word start of every place's name key; the big towns for typos.
void listWords(WorldTables& world, const std::function<std::uint32_t(std::string_view)>& intern) {
  for (std::uint32_t i = 0; i < world.places.size(); ++i) {
    const WorldPlace& place = world.places[i];
    std::uint32_t key = intern(searchKey(textAt(world, place.city)));
    std::string_view text = textAt(world, key);
    for (std::size_t at = 0; at < text.size(); ++at)
      if (at == 0 || text[at - 1] == ' ')
        world.index.push_back({i | (at == 0 ? Gazetteer::kWhole : 0), key + std::uint32_t(at)});
    if (place.population >= kTypoPopulation && !place.district) world.typoSet.push_back({i, key});
  }
}

void sortByText(WorldTables& world) {
  auto byText = [&](const Gazetteer::Entry& a, const Gazetteer::Entry& b) {
    int order = std::strcmp(world.arena.data() + a.offset, world.arena.data() + b.offset);
    return order != 0 ? order < 0 : a.place < b.place;
  };
  std::sort(world.index.begin(), world.index.end(), byText);
  std::sort(world.others.begin(), world.others.end(), byText);
  world.others.erase(std::unique(world.others.begin(), world.others.end(),
                                 [](const Gazetteer::Entry& a, const Gazetteer::Entry& b) {
                                   return a.offset == b.offset && a.place == b.place;
                                 }),
                     world.others.end());
}

void buildRangeTree(WorldTables& world) {
  std::size_t leaves = 1;
  while (leaves < world.index.size()) leaves *= 2;
  world.rangeMin.assign(2 * leaves, UINT32_MAX);
  for (std::size_t i = 0; i < world.index.size(); ++i)
    world.rangeMin[leaves + i] = world.index[i].place & ~Gazetteer::kWhole;
  for (std::size_t node = leaves - 1; node > 0; --node)
    world.rangeMin[node] = std::min(world.rangeMin[2 * node], world.rangeMin[2 * node + 1]);
}

// The tables as a Gazetteer views them, for the coordinate keys.
Gazetteer viewOf(const WorldTables& world) {
  Gazetteer view;
  view.arena = world.arena;
  view.places = world.places;
  view.zips = world.zips;
  return view;
}

}  // namespace

void buildIndex(WorldTables& world, const std::function<std::uint32_t(std::string_view)>& intern) {
  orderPlaces(world);
  orderZipCodes(world);
  listWords(world, intern);
  sortByText(world);
  buildRangeTree(world);
  world.coordinates = coordinateKeys(viewOf(world));
}
