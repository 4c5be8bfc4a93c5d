#pragma once
// The search's parts, for searchWorld (world_ranking.cpp): the forms a query
// may take, what each finds in the index, and the towns a typo away.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "service/places/gazetteer.h"

inline std::string_view textAt(const Gazetteer& world, std::uint32_t offset) {
  return std::string_view(world.arena.data() + offset);
}

// One form of the query: the name, and the region after it.
struct QueryForm {
  std::string city, region;
  bool comma = false;
};

// The forms of a query in ASCII: the whole, and without a comma also the
// name before last words that name a region ("boston ma").
std::vector<QueryForm> formsOf(const Gazetteer& world, std::string_view ascii);

// What one form finds, by how well each place is named.
struct NameMatches {
  std::vector<std::uint32_t> own, other, begun;     // whole own names, other names, word starts
  std::vector<std::uint32_t> exactOwn, exactOther;  // whole, with the region whole too
};

NameMatches find(const Gazetteer& world, const QueryForm& form);

// Towns within two edits of the name (one for short names), fewest edits
// and then most people first.
std::vector<std::uint32_t> typos(const Gazetteer& world, const QueryForm& form);

// Names for a list in which no two are alike (world_names.cpp).
std::vector<std::string> distinctNames(const Gazetteer& world,
                                       const std::vector<std::uint32_t>& places);
