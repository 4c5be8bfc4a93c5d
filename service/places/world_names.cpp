#include <algorithm>
#include <cstdio>

#include "service/places/query_text.h"
#include "service/places/world_search.h"

// The names a place is shown by: its own, a ZIP code's, and the longer ones
// a list gives namesakes.

std::string displayName(const Gazetteer& world, const WorldPlace& place) {
  std::string name(textAt(world, place.city));
  name += ", ";
  const Region& country = world.countries[place.country];
  if (place.region && textAt(world, country.code) == "US")
    name += textAt(world, world.regions[place.region - 1].code);
  else
    name += textAt(world, country.name);
  return name;
}

bool isListedName(const Gazetteer& world, const WorldPlace& place, std::string_view name) {
  std::string base = displayName(world, place);
  // A number a list adds: " (2)" up to " (99)".
  if (name.size() > 4 && name.ends_with(')')) {
    std::size_t open = name.rfind(" (");
    int number = 0;
    if (open != std::string_view::npos &&
        parseNumber(name.substr(open + 2, name.size() - open - 3), number) && number >= 2 &&
        number <= 99)
      name = name.substr(0, open);
  }
  if (name == base) return true;
  std::size_t comma = base.rfind(", ");
  std::string_view head = std::string_view(base).substr(0, comma);
  std::string_view tail = std::string_view(base).substr(comma);
  if (!name.starts_with(head) || !name.ends_with(tail) || name.size() < base.size() + 2)
    return false;
  std::string_view mark = name.substr(head.size(), name.size() - base.size());
  if (!mark.starts_with(", ")) return false;
  mark.remove_prefix(2);
  return (place.region && mark == textAt(world, world.regions[place.region - 1].name)) ||
         (place.county && mark == textAt(world, place.county));
}

std::string zipName(const Gazetteer& world, const ZipCode& zip) {
  char code[8];
  std::snprintf(code, sizeof code, "%05u", unsigned(zip.code));
  std::string state(zip.state, 2);
  if (!zip.nearest) return "ZIP " + std::string(code) + ", " + state;
  return std::string(textAt(world, zip.nearest)) + ", " + state + " " + code;
}

// Names for a list in which no two are alike: places that share a name get
// their division ("Hamilton, Waikato, New Zealand"), or where that does not
// tell them apart their county ("Geneva, Ashtabula County, OH"), then a
// number, as long as the name stays within kMaxListedName.
std::vector<std::string> distinctNames(const Gazetteer& world,
                                       const std::vector<std::uint32_t>& places) {
  std::vector<std::string> base, names;
  for (std::uint32_t place : places) base.push_back(displayName(world, world.places[place]));
  names = base;
  // Which names another entry shares: neighbours once sorted.
  auto clashes = [&]() {
    std::vector<std::uint32_t> order(names.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<bool> clash(names.size());
    for (std::size_t k = 1; k < order.size(); ++k)
      if (names[order[k]] == names[order[k - 1]]) clash[order[k]] = clash[order[k - 1]] = true;
    return clash;
  };
  // The mark goes before the state or country: "City, mark, ST".
  auto marked = [&](std::size_t i, std::string_view mark) {
    const std::string& name = base[i];
    std::size_t comma = name.rfind(", ");
    std::string longer = name.substr(0, comma) + ", " + std::string(mark) + name.substr(comma);
    bool same = name.substr(0, comma) == mark;  // "Victoria, Victoria, Australia"
    return mark.empty() || same || longer.size() > kMaxListedName ? name : longer;
  };
  auto clash = clashes();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const WorldPlace& p = world.places[places[i]];
    bool american = textAt(world, world.countries[p.country].code) == "US";
    if (clash[i] && p.region && !american)
      names[i] = marked(i, textAt(world, world.regions[p.region - 1].name));
  }
  std::vector<bool> still = clashes();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (clash[i] && still[i] && world.places[places[i]].county)
      names[i] = marked(i, textAt(world, world.places[places[i]].county));
  clash = clashes();
  const std::vector<std::string> before = names;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!clash[i]) continue;
    int number = 1 + int(std::count(before.begin(), before.begin() + i, before[i]));
    if (number == 1) continue;
    std::string mark = " (" + std::to_string(number) + ")";
    std::string name = names[i].substr(0, kMaxListedName - mark.size());
    // A cut name must still be one that no other entry has.
    while (std::find(names.begin(), names.end(), name + mark) != names.end())
      mark = " (" + std::to_string(++number) + ")";
    names[i] = name + mark;
  }
  return names;
}
