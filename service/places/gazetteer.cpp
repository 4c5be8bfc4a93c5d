#include "service/places/gazetteer.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <unordered_map>

#include "service/places/report_link.h"
#include "service/places/query_text.h"
#include "service/places/text_fold.h"

namespace {

// The longest query text looked at: the program sends at most 255 bytes.
constexpr std::size_t kMaxQueryBytes = 512;
// Typos are tried against the towns people mostly mean; more would be slow
// and would offer villages for a misspelt city.
constexpr std::uint32_t kTypoPopulation = 15000;
constexpr std::size_t kMaxTypoListed = 10;
// A city reached through another name goes before the small towns whose
// own name that is ("Geneva" is Geneve, Switzerland, before Geneva, IL),
// never before a town of comparable size ("Victoria" stays Victoria, Canada).
// Other names are too noisy for more.
constexpr std::uint32_t kCityPopulation = 100000;
constexpr std::uint32_t kSmallTownPopulation = 25000;
// Other names marked so in the data file are as good as the town's own
// ("NYC"); the rest are a noisy lot, with no language.
constexpr char kOwnMark = '*';
constexpr std::uint32_t kTrusted = 1u << 30;
constexpr std::uint32_t kPlaceBits = kTrusted - 1;

bool parseCoordinates(std::string_view lat, std::string_view lon, std::int32_t& latitude,
                      std::int32_t& longitude) {
  double a = 0, b = 0;
  if (!parseNumber(lat, a) || !parseNumber(lon, b) || a < -90 || a > 90 || b < -180 || b > 180)
    return false;
  latitude = std::int32_t(std::lround(a * 1e5));
  longitude = std::int32_t(std::lround(b * 1e5));
  return true;
}

bool isCode(std::string_view code) {
  if (code.size() != 2) return false;
  for (char c : code)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

// GeoNames' codes of first-level divisions: "08", "ENG", "ZH".
bool isDivisionCode(std::string_view code) {
  if (code.empty() || code.size() > 8) return false;
  for (char c : code)
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

std::string_view textAt(const Gazetteer& world, std::uint32_t offset) {
  return std::string_view(world.arena.data() + offset);
}

// What the file's records are read into before the index is built. Texts
// go into the arena once each, found again through a table of offsets, so
// that loading leaves no crowd of small blocks behind.
struct Loader {
  Gazetteer& world;
  std::vector<std::uint32_t> slots = std::vector<std::uint32_t>(1 << 16);  // 0: free
  std::size_t used = 0;
  std::unordered_map<std::string, std::uint16_t> countryAt = {};
  std::unordered_map<std::string, std::uint16_t> regionAt = {};  // "US.CA", "CA.08"
  std::string unknownCountry = {};  // the first place whose country is not listed

  static std::size_t hash(std::string_view text) {
    std::size_t h = 14695981039346656037ull;
    for (char c : text) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
  }
  void reinsert(std::uint32_t offset) {
    std::size_t mask = slots.size() - 1;
    std::size_t i = hash(textAt(world, offset)) & mask;
    while (slots[i]) i = (i + 1) & mask;
    slots[i] = offset;
  }
  std::uint32_t text(std::string_view value) {
    if (value.empty()) return 0;
    if (2 * (used + 1) > slots.size()) {
      std::vector<std::uint32_t> old(2 * slots.size());
      old.swap(slots);
      for (std::uint32_t offset : old)
        if (offset) reinsert(offset);
    }
    std::size_t mask = slots.size() - 1;
    for (std::size_t i = hash(value) & mask;; i = (i + 1) & mask) {
      if (!slots[i]) {
        slots[i] = std::uint32_t(world.arena.size());
        world.arena += value;
        world.arena += '\0';
        ++used;
        return slots[i];
      }
      const char* at = world.arena.data() + slots[i];
      if (std::strncmp(at, value.data(), value.size()) == 0 && at[value.size()] == '\0')
        return slots[i];
    }
  }
};

// A place's other names, '|'-separated, as whole keys; those marked as good
// as the own name are flagged so.
void addOtherNames(Loader& load, std::uint32_t place, std::string_view names,
                   std::string_view own) {
  std::string ownKey = searchKey(own);
  while (!names.empty()) {
    std::size_t bar = names.find('|');
    std::string_view name = names.substr(0, bar);
    names.remove_prefix(bar == std::string_view::npos ? names.size() : bar + 1);
    bool trusted = !name.empty() && name[0] == kOwnMark;
    if (trusted) name.remove_prefix(1);
    std::string key = searchKey(name);
    if (key.empty() || key == ownKey) continue;
    load.world.others.push_back({place | (trusted ? kTrusted : 0), load.text(key)});
  }
}

std::string parseLine(Loader& load, std::string_view line) {
  Gazetteer& world = load.world;
  auto f = splitFields(line, '\t');
  if ((f[0] == "C" || f[0] == "S") && f.size() == 3) {
    if (!isCode(f[1]) || !isShowableName(f[2]) || world.countries.size() >= UINT16_MAX ||
        world.regions.size() >= UINT16_MAX - 1)
      return "bad region";
    Region region{load.text(f[1]), load.text(f[2]), load.text(searchKey(f[1])),
                  load.text(searchKey(f[2])), 0};
    if (f[0] == "C") {
      load.countryAt[std::string(f[1])] = std::uint16_t(world.countries.size());
      world.countries.push_back(region);
    } else {
      load.regionAt["US." + std::string(f[1])] = std::uint16_t(world.regions.size());
      world.regions.push_back(region);
    }
    return "";
  }
  if (f[0] == "R" && f.size() == 5) {
    if (!isCode(f[1]) || !isDivisionCode(f[2]) || !isShowableName(f[3]) ||
        (!f[4].empty() && !isShowableName(f[4])) || world.regions.size() >= UINT16_MAX - 1)
      return "bad region";
    Region region{load.text(f[2]), load.text(f[3]), 0, load.text(searchKey(f[3])),
                  load.text(searchKey(f[4]))};
    load.regionAt[std::string(f[1]) + "." + std::string(f[2])] =
        std::uint16_t(world.regions.size());
    world.regions.push_back(region);
    return "";
  }
  if (f[0] == "P" && (f.size() == 7 || f.size() == 10)) {
    WorldPlace place;
    if (!isShowableName(f[1])) return "bad city name";
    if (!f[3].empty() && !isDivisionCode(f[3])) return "bad region code";
    if (!parseNumber(f[4], place.population)) return "bad population";
    if (!parseCoordinates(f[5], f[6], place.latitude, place.longitude)) return "bad coordinates";
    if (f.size() == 10) {
      if (f[7] != "" && f[7] != "district") return "bad kind";
      if (!f[8].empty() && !isShowableName(f[8])) return "bad county name";
      place.district = f[7] == "district";
      place.county = load.text(f[8]);
    }
    place.city = load.text(f[1]);
    // Countries and regions are listed before use; a place of another
    // country makes the whole file bad, told once the lines are read.
    auto country = load.countryAt.find(std::string(f[2]));
    if (country == load.countryAt.end()) {
      if (load.unknownCountry.empty())
        load.unknownCountry =
            "place " + std::string(f[1]) + ": unknown country " + std::string(f[2]);
      return "";
    }
    place.country = country->second;
    auto region = load.regionAt.find(std::string(f[2]) + "." + std::string(f[3]));
    if (region != load.regionAt.end()) place.region = std::uint16_t(region->second + 1);
    auto number = std::uint32_t(world.places.size());
    if (f.size() == 10) addOtherNames(load, number, f[9], f[1]);
    world.places.push_back(place);
    return "";
  }
  if (f[0] == "Z" && f.size() == 6) {
    ZipCode zip;
    if (f[1].size() != 5 || !parseNumber(f[1], zip.code)) return "bad ZIP code";
    if (!isCode(f[2])) return "bad state code";
    if (!f[5].empty() && !isShowableName(f[5])) return "bad town name";
    if (!parseCoordinates(f[3], f[4], zip.latitude, zip.longitude)) return "bad coordinates";
    zip.state[0] = f[2][0];
    zip.state[1] = f[2][1];
    zip.nearest = load.text(f[5]);
    world.zips.push_back(zip);
    return "";
  }
  return "unknown record or wrong number of fields";
}

void buildIndex(Loader& load) {
  Gazetteer& world = load.world;
  // The most populous first: a place's number is its rank. The file comes
  // so; other orders are put right.
  auto morePeople = [](const WorldPlace& a, const WorldPlace& b) {
    return a.population > b.population;
  };
  if (!std::is_sorted(world.places.begin(), world.places.end(), morePeople)) {
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
  if (!std::is_sorted(world.zips.begin(), world.zips.end(),
                      [](const ZipCode& a, const ZipCode& b) { return a.code < b.code; }))
    std::sort(world.zips.begin(), world.zips.end(),
              [](const ZipCode& a, const ZipCode& b) { return a.code < b.code; });

  for (std::uint32_t i = 0; i < world.places.size(); ++i) {
    const WorldPlace& place = world.places[i];
    std::uint32_t key = load.text(searchKey(textAt(world, place.city)));
    std::string_view text = textAt(world, key);
    for (std::size_t at = 0; at < text.size(); ++at)
      if (at == 0 || text[at - 1] == ' ')
        world.index.push_back({i | (at == 0 ? Gazetteer::kWhole : 0), key + std::uint32_t(at)});
    if (place.population >= kTypoPopulation && !place.district) world.typoSet.push_back({i, key});
  }
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
  std::size_t leaves = 1;
  while (leaves < world.index.size()) leaves *= 2;
  world.rangeMin.assign(2 * leaves, UINT32_MAX);
  for (std::size_t i = 0; i < world.index.size(); ++i)
    world.rangeMin[leaves + i] = world.index[i].place & ~Gazetteer::kWhole;
  for (std::size_t node = leaves - 1; node > 0; --node)
    world.rangeMin[node] = std::min(world.rangeMin[2 * node], world.rangeMin[2 * node + 1]);
  world.arena.shrink_to_fit();
  world.places.shrink_to_fit();
  world.zips.shrink_to_fit();
  world.index.shrink_to_fit();
  world.others.shrink_to_fit();
  world.typoSet.shrink_to_fit();
}

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

std::optional<std::uint32_t> zipCodeOf(std::string_view key) {
  auto digits = [&](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
      if (key[i] < '0' || key[i] > '9') return false;
    return true;
  };
  std::uint32_t code = 0;
  // A ZIP code kept as a number has lost its leading zero ("2139").
  if ((key.size() == 5 && digits(0, 5)) || (key.size() == 4 && digits(0, 4)) ||
      (key.size() == 10 && digits(0, 5) && key[5] == ' ' && digits(6, 4))) {
    parseNumber(key.substr(0, key.size() == 4 ? 4 : 5), code);
    return code;
  }
  return std::nullopt;
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

// One form of the query: the name, and the region after it.
struct QueryForm {
  std::string city, region;
  bool comma = false;
};

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

// What one form finds, by how well each place is named.
struct NameMatches {
  std::vector<std::uint32_t> own, other, begun;     // whole own names, other names, word starts
  std::vector<std::uint32_t> exactOwn, exactOther;  // whole, with the region whole too
};

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

Located locatedOf(const Gazetteer& world, std::uint32_t place, std::string name) {
  const WorldPlace& p = world.places[place];
  return {std::move(name), degrees(p.latitude), degrees(p.longitude), p.population};
}

// Towns within two edits of the name (one for short names), fewest edits
// and then most people first.
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

}  // namespace

std::string searchKey(std::string_view text) {
  std::string words = matchKey(text);
  std::string key;
  std::size_t start = 0;
  bool lastSingle = false;
  while (start < words.size()) {
    std::size_t end = words.find(' ', start);
    if (end == std::string::npos) end = words.size();
    std::string_view word = std::string_view(words).substr(start, end - start);
    start = end + 1;
    if (word == "st") word = "saint";
    if (word == "ste") word = "sainte";
    if (word == "ft") word = "fort";
    if (word == "mt") word = "mount";
    if (word == "pt") word = "point";
    bool single = word.size() == 1 && word[0] >= 'a';
    // "D.C." is "DC", "U.S.A." "USA".
    if (!(single && lastSingle) && !key.empty()) key += ' ';
    key += word;
    lastSingle = single;
  }
  return key;
}

namespace {

// Reads the lines that `next` gives, one at a time, so that the file itself
// is never held whole.
template <typename NextLine>
Gazetteer readGazetteer(NextLine next) {
  Gazetteer world;
  world.arena.assign(1, '\0');
  Loader load{world};
  std::string_view line;
  for (int number = 1; next(line); ++number) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::string error = parseLine(load, line);
    if (!error.empty()) {
      world.error = "line " + std::to_string(number) + ": " + error;
      return world;
    }
  }
  if (!load.unknownCountry.empty()) {
    world.error = load.unknownCountry;
    return world;
  }
  if (world.places.empty()) {
    world.error = "no places";
    return world;
  }
  buildIndex(load);
  return world;
}

}  // namespace

Gazetteer parseGazetteer(std::string_view text) {
  return readGazetteer([&](std::string_view& line) {
    if (text.empty()) return false;
    std::size_t end = text.find('\n');
    line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return true;
  });
}

Gazetteer loadGazetteer(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    Gazetteer world;
    world.error = "cannot open " + path;
    return world;
  }
  std::string buffer;
  Gazetteer world = readGazetteer([&](std::string_view& line) {
    if (!std::getline(file, buffer)) return false;
    line = buffer;
    return true;
  });
  if (!world.error.empty()) world.error = path + ": " + world.error;
  return world;
}

std::string_view arenaText(const Gazetteer& world, std::uint32_t offset) {
  return textAt(world, offset);
}

double degrees(std::int32_t value) { return value / 1e5; }

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

WorldMatch searchWorld(const Gazetteer& world, std::string_view query) {
  WorldMatch match;
  std::string ascii = asciiFromQuery(query.substr(0, kMaxQueryBytes));
  if (matchKey(ascii).empty()) return match;

  if (auto code = zipCodeOf(matchKey(ascii))) {
    auto at = std::lower_bound(world.zips.begin(), world.zips.end(), *code,
                               [](const ZipCode& zip, std::uint32_t c) { return zip.code < c; });
    if (at != world.zips.end() && at->code == *code)
      match.hit = Located{zipName(world, *at), degrees(at->latitude), degrees(at->longitude)};
    return match;
  }

  std::vector<QueryForm> forms = formsOf(world, ascii);
  std::vector<NameMatches> found;
  for (const QueryForm& form : forms) found.push_back(find(world, form));

  // A whole name with its region whole: the most populous such place, when
  // the query is no town's whole name without the region ("Springfield IL"
  // yes, "Kansas City" no). A town's own name goes before other names.
  const NameMatches& plain = found[0];
  bool namesWhole = !forms[0].comma && (!plain.own.empty() || !plain.other.empty());
  for (std::size_t r = 0; r < forms.size(); ++r) {
    if (forms[r].region.empty() || (r > 0 && namesWhole)) continue;
    for (const auto* exact : {&found[r].exactOwn, &found[r].exactOther}) {
      std::vector<std::uint32_t> towns;
      for (std::uint32_t place : *exact)
        if (!world.places[place].district) towns.push_back(place);
      if (towns.empty()) continue;
      std::uint32_t place = *std::min_element(towns.begin(), towns.end());
      match.hit = locatedOf(world, place, displayName(world, world.places[place]));
      return match;
    }
  }
  // One place named whole, and no bigger one whose word merely starts so;
  // through another name only when no town's word starts so at all: the
  // user may be typing it ("Los" is Lagos's airport, and Los Angeles).
  if (forms[0].region.empty()) {
    std::vector<std::uint32_t> named = plain.own;
    named.insert(named.end(), plain.other.begin(), plain.other.end());
    std::sort(named.begin(), named.end());
    named.erase(std::unique(named.begin(), named.end()), named.end());
    bool alone =
        plain.own.empty() ? plain.begun.empty() : plain.begun.empty() || plain.begun[0] >= named[0];
    if (named.size() == 1 && alone) {
      match.hit = locatedOf(world, named[0], displayName(world, world.places[named[0]]));
      return match;
    }
  }

  // The list: whole own names (and far bigger cities of that other name
  // among them), whole other names, word starts, each the most populous
  // first; sections of towns after all the towns.
  std::vector<std::uint32_t> order, districts;
  std::vector<bool> taken;
  auto add = [&](std::uint32_t place) {
    if (place >= taken.size()) taken.resize(place + 1);
    if (taken[place]) return;
    taken[place] = true;
    (world.places[place].district ? districts : order).push_back(place);
  };
  auto farBigger = [&](std::uint32_t other, std::uint32_t own) {
    return world.places[other].population >= kCityPopulation &&
           world.places[own].population < kSmallTownPopulation;
  };
  for (const NameMatches& f : found) {
    std::size_t next = 0;  // both lists run from the most populous
    for (std::uint32_t place : f.own) {
      for (; next < f.other.size() && farBigger(f.other[next], place); ++next) add(f.other[next]);
      add(place);
    }
  }
  for (auto list : {&NameMatches::other, &NameMatches::begun})
    for (const NameMatches& f : found)
      for (std::uint32_t place : f.*list) add(place);
  order.insert(order.end(), districts.begin(), districts.end());
  // Nothing at all: the names a letter or two away, never as a direct hit.
  if (order.empty())
    for (const QueryForm& form : forms)
      for (std::uint32_t place : typos(world, form)) add(place);
  if (order.size() > kMaxListed) order.resize(kMaxListed);
  std::vector<std::string> names = distinctNames(world, order);
  for (std::size_t i = 0; i < order.size(); ++i)
    match.listed.push_back(locatedOf(world, order[i], names[i]));
  return match;
}
