#include <algorithm>

#include "service/places/query_text.h"
#include "service/places/text_fold.h"
#include "service/places/world_search.h"

// Which place a query names, or the order to list what it finds in.

namespace {

// The longest query text looked at: the program sends at most 255 bytes.
constexpr std::size_t kMaxQueryBytes = 512;
// A city reached through another name goes before the small towns whose
// own name that is ("Geneva" is Geneve, Switzerland, before Geneva, IL),
// never before a town of comparable size ("Victoria" stays Victoria, Canada).
// Other names are too noisy for more.
constexpr std::uint32_t kCityPopulation = 100000;
constexpr std::uint32_t kSmallTownPopulation = 25000;

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

Located locatedOf(const Gazetteer& world, std::uint32_t place, std::string name) {
  const WorldPlace& p = world.places[place];
  return {std::move(name), degrees(p.latitude), degrees(p.longitude), p.population};
}

std::optional<Located> zipHit(const Gazetteer& world, std::uint32_t code) {
  auto at = std::lower_bound(world.zips.begin(), world.zips.end(), code,
                             [](const ZipCode& zip, std::uint32_t c) { return zip.code < c; });
  if (at == world.zips.end() || at->code != code) return std::nullopt;
  return Located{zipName(world, *at), degrees(at->latitude), degrees(at->longitude)};
}

// A whole name with its region whole: the most populous such place, when
// the query is no town's whole name without the region ("Springfield IL"
// yes, "Kansas City" no). A town's own name goes before other names.
std::optional<std::uint32_t> regionHit(const Gazetteer& world, const std::vector<QueryForm>& forms,
                                       const std::vector<NameMatches>& found) {
  const NameMatches& plain = found[0];
  bool namesWhole = !forms[0].comma && (!plain.own.empty() || !plain.other.empty());
  for (std::size_t r = 0; r < forms.size(); ++r) {
    if (forms[r].region.empty() || (r > 0 && namesWhole)) continue;
    for (const auto* exact : {&found[r].exactOwn, &found[r].exactOther}) {
      std::vector<std::uint32_t> towns;
      for (std::uint32_t place : *exact)
        if (!world.places[place].district) towns.push_back(place);
      if (!towns.empty()) return *std::min_element(towns.begin(), towns.end());
    }
  }
  return std::nullopt;
}

// One place named whole, and no bigger one whose word merely starts so;
// through another name only when no town's word starts so at all: the
// user may be typing it ("Los" is Lagos's airport, and Los Angeles).
std::optional<std::uint32_t> soleNameHit(const QueryForm& form, const NameMatches& plain) {
  if (!form.region.empty()) return std::nullopt;
  std::vector<std::uint32_t> named = plain.own;
  named.insert(named.end(), plain.other.begin(), plain.other.end());
  std::sort(named.begin(), named.end());
  named.erase(std::unique(named.begin(), named.end()), named.end());
  bool alone =
      plain.own.empty() ? plain.begun.empty() : plain.begun.empty() || plain.begun[0] >= named[0];
  if (named.size() == 1 && alone) return named[0];
  return std::nullopt;
}

// The list: whole own names (and far bigger cities of that other name
// among them), whole other names, word starts, each the most populous
// first; sections of towns after all the towns. Nothing at all: the names a
// letter or two away, never as a direct hit.
std::vector<std::uint32_t> listOrder(const Gazetteer& world, const std::vector<QueryForm>& forms,
                                     const std::vector<NameMatches>& found) {
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
  if (order.empty())
    for (const QueryForm& form : forms)
      for (std::uint32_t place : typos(world, form)) add(place);
  if (order.size() > kMaxListed) order.resize(kMaxListed);
  return order;
}

}  // namespace

WorldMatch searchWorld(const Gazetteer& world, std::string_view query) {
  WorldMatch match;
  std::string ascii = asciiFromQuery(query.substr(0, kMaxQueryBytes));
  std::string key = matchKey(ascii);
  if (key.empty()) return match;
  if (auto code = zipCodeOf(key)) {
    match.hit = zipHit(world, *code);
    return match;
  }
  std::vector<QueryForm> forms = formsOf(world, ascii);
  std::vector<NameMatches> found;
  for (const QueryForm& form : forms) found.push_back(find(world, form));
  auto hit = regionHit(world, forms, found);
  if (!hit) hit = soleNameHit(forms[0], found[0]);
  if (hit) {
    match.hit = locatedOf(world, *hit, displayName(world, world.places[*hit]));
    return match;
  }
  std::vector<std::uint32_t> order = listOrder(world, forms, found);
  std::vector<std::string> names = distinctNames(world, order);
  for (std::size_t i = 0; i < order.size(); ++i)
    match.listed.push_back(locatedOf(world, order[i], std::move(names[i])));
  return match;
}
