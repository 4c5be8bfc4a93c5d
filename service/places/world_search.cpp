#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <functional>

#include "service/places/world_search.h"
#include "service/places/world_tables.h"

// Finding names in the image's index: the forms of a query, the index's
// ranges they begin, and the towns a typo away.

namespace {

constexpr std::size_t kMaxTypoListed = 10;

// The first `limit` distinct places of index[from, to) that `keep` accepts,
// the most populous first: tree nodes are visited by their least place, so
// places come out in order and a place's several words come out together.
template <typename Keep>
std::vector<std::uint32_t> mostPopulous(const Gazetteer& world, std::size_t from, std::size_t to,
                                        std::size_t limit, Keep keep) {
  const auto& tree = world.rangeMin;
  std::size_t leaves = tree.size() / 2;
  using Node = std::pair<std::uint32_t, std::size_t>;  // least place below, node
  std::vector<Node> heap;
  auto push = [&](std::size_t node) {
    heap.push_back({tree[node], node});
    std::push_heap(heap.begin(), heap.end(), std::greater<>());
  };
  // The nodes that cover [from, to) exactly.
  for (std::size_t l = from + leaves, r = to + leaves; l < r; l /= 2, r /= 2) {
    if (l & 1) push(l++);
    if (r & 1) push(--r);
  }
  std::vector<std::uint32_t> places;
  while (!heap.empty() && places.size() < limit) {
    std::pop_heap(heap.begin(), heap.end(), std::greater<>());
    auto [place, node] = heap.back();
    heap.pop_back();
    if (node < leaves) {
      push(2 * node);
      push(2 * node + 1);
    } else if ((places.empty() || places.back() != place) && keep(place)) {
      places.push_back(place);
    }
  }
  return places;
}

// How a region after the city fits a place: codes must be whole, names may
// be begun after a comma ("Springfield, Miss").
enum class Fit { None, Begun, Exact };

Fit fitOf(const Gazetteer& world, const WorldPlace& place, std::string_view qualifier) {
  Fit fit = Fit::None;
  auto consider = [&](const Region& region) {
    for (std::uint32_t key : {region.codeKey, region.nameKey, region.shortKey})
      if (key && textAt(world, key) == qualifier) fit = Fit::Exact;
    if (fit == Fit::None && textAt(world, region.nameKey).starts_with(qualifier)) fit = Fit::Begun;
  };
  if (place.region) consider(world.regions[place.region - 1]);
  consider(world.countries[place.country]);
  return fit;
}

// Whether some state, division or country is called `words` whole.
bool namesRegion(const Gazetteer& world, std::string_view words) {
  for (const auto* list : {&world.regions, &world.countries})
    for (const Region& region : *list)
      for (std::uint32_t key : {region.codeKey, region.nameKey, region.shortKey})
        if (key && textAt(world, key) == words) return true;
  return false;
}

// The country names people write most that are no ISO codes.
std::string regionAlias(std::string key) {
  if (key == "uk" || key == "britain" || key == "great britain") return "gb";
  if (key == "usa" || key == "america") return "us";
  return key;
}

// Edits between two keys (insertions, deletions, substitutions and swaps of
// neighbours), or more than `most` when there are more.
int editsWithin(std::string_view a, std::string_view b, int most) {
  constexpr std::size_t kLongest = 127;
  if (std::abs(int(a.size()) - int(b.size())) > most || a.size() > kLongest || b.size() > kLongest)
    return most + 1;
  // Each edit changes the set of letters by at most two: a cheap way out
  // for most towns.
  auto letters = [](std::string_view text) {
    std::uint64_t set = 0;
    for (char c : text) set |= std::uint64_t(1) << (static_cast<unsigned char>(c) & 63);
    return set;
  };
  if (std::popcount(letters(a) ^ letters(b)) > 2 * most) return most + 1;
  const std::size_t n = b.size();
  // Three rows of the table, on the stack: this runs for every big town.
  int rows[3][kLongest + 1];
  int *before = rows[0], *previous = rows[1], *current = rows[2];
  for (std::size_t j = 0; j <= n; ++j) previous[j] = int(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    current[0] = int(i);
    int least = current[0];
    for (std::size_t j = 1; j <= n; ++j) {
      int cost = a[i - 1] == b[j - 1] ? 0 : 1;
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
        current[j] = std::min(current[j], before[j - 2] + 1);
      least = std::min(least, current[j]);
    }
    if (least > most) return most + 1;
    int* spare = before;
    before = previous;
    previous = current;
    current = spare;
  }
  return previous[n];
}

}  // namespace

std::vector<QueryForm> formsOf(const Gazetteer& world, std::string_view ascii) {
  std::size_t comma = ascii.find(',');
  if (comma != std::string_view::npos)
    return {
        {searchKey(ascii.substr(0, comma)), regionAlias(searchKey(ascii.substr(comma + 1))), true}};
  std::vector<QueryForm> forms{{searchKey(ascii), "", false}};
  // Without a comma, the last words may name the region ("boston ma").
  const std::string whole = forms[0].city;
  std::size_t end = whole.size();
  for (int words = 1; words <= 3; ++words) {
    std::size_t space = whole.rfind(' ', end - 1);
    if (space == std::string::npos || space == 0) break;
    std::string region = regionAlias(whole.substr(space + 1));
    if (namesRegion(world, region)) forms.push_back({whole.substr(0, space), region, false});
    end = space;
  }
  return forms;
}

NameMatches find(const Gazetteer& world, const QueryForm& form) {
  NameMatches found;
  if (form.city.empty()) return found;
  auto fits = [&](std::uint32_t place, bool exactly) {
    if (form.region.empty()) return true;
    Fit fit = fitOf(world, world.places[place], form.region);
    return exactly ? fit == Fit::Exact : fit == Fit::Exact || (form.comma && fit == Fit::Begun);
  };
  auto text = [&](const Gazetteer::Entry& e) { return textAt(world, e.offset); };
  const std::string& city = form.city;
  auto first = std::lower_bound(
      world.index.begin(), world.index.end(), city,
      [&](const Gazetteer::Entry& e, const std::string& c) { return text(e) < c; });
  auto last = std::partition_point(first, world.index.end(), [&](const Gazetteer::Entry& e) {
    return text(e).starts_with(city);
  });
  // The whole name sorts first among the names it begins.
  for (auto at = first; at != last && text(*at) == city; ++at) {
    std::uint32_t place = at->place & ~Gazetteer::kWhole;
    if (!(at->place & Gazetteer::kWhole) || !fits(place, false)) continue;
    found.own.push_back(place);
    if (fits(place, true)) found.exactOwn.push_back(place);
  }
  auto [from, to] = std::equal_range(
      world.others.begin(), world.others.end(), city, [&](const auto& a, const auto& b) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::string>)
          return std::string_view(a) < text(b);
        else
          return text(a) < std::string_view(b);
      });
  for (auto at = from; at != to; ++at) {
    std::uint32_t place = at->place & kPlaceBits;
    if (!fits(place, false)) continue;
    // A trusted other name ("NYC") counts as the town's own.
    (at->place & kTrusted ? found.own : found.other).push_back(place);
    if (fits(place, true))
      (at->place & kTrusted ? found.exactOwn : found.exactOther).push_back(place);
  }
  found.begun =
      mostPopulous(world, first - world.index.begin(), last - world.index.begin(), kMaxListed + 1,
                   [&](std::uint32_t place) { return fits(place, false); });
  for (auto* list : {&found.own, &found.other, &found.exactOwn, &found.exactOther}) {
    std::sort(list->begin(), list->end());
    list->erase(std::unique(list->begin(), list->end()), list->end());
  }
  return found;
}

std::vector<std::uint32_t> typos(const Gazetteer& world, const QueryForm& form) {
  int most = form.city.size() <= 3 ? 0 : form.city.size() <= 5 ? 1 : 2;
  if (most == 0) return {};
  std::vector<std::pair<int, std::uint32_t>> near;
  for (const Gazetteer::Entry& entry : world.typoSet) {
    int edits = editsWithin(form.city, textAt(world, entry.offset), most);
    if (edits > most) continue;
    if (!form.region.empty() && fitOf(world, world.places[entry.place], form.region) == Fit::None)
      continue;
    near.push_back({edits, entry.place});
  }
  std::sort(near.begin(), near.end());
  std::vector<std::uint32_t> places;
  for (auto [edits, place] : near)
    if (places.size() < kMaxTypoListed) places.push_back(place);
  return places;
}
