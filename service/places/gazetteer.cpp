#include "service/places/gazetteer.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>

#include "service/places/query_text.h"
#include "service/places/text_fold.h"
#include "service/places/report_link.h"

namespace {

// The longest query text looked at: the program sends at most 255 bytes.
constexpr std::size_t kMaxQueryBytes = 512;

bool parseCoordinates(std::string_view lat, std::string_view lon, double& latitude,
                      double& longitude) {
  return parseNumber(lat, latitude) && parseNumber(lon, longitude) && latitude >= -90 &&
         latitude <= 90 && longitude >= -180 && longitude <= 180;
}

bool isCode(std::string_view code) {
  if (code.size() != 2) return false;
  for (char c : code)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

const Region* findRegion(const std::vector<Region>& regions, std::string_view code) {
  for (const Region& region : regions)
    if (region.code == code) return &region;
  return nullptr;
}

// Parses one record into `world`; an error text when the line is bad.
std::string parseLine(Gazetteer& world, std::string_view line,
                      std::vector<std::string_view>& countryOf) {
  auto f = splitFields(line, '\t');
  if ((f[0] == "C" || f[0] == "S") && f.size() == 3) {
    if (!isCode(f[1]) || !isShowableName(f[2]) || world.countries.size() > UINT16_MAX)
      return "bad region";
    auto& list = f[0] == "C" ? world.countries : world.states;
    list.push_back({f[1], f[2], matchKey(f[1]), matchKey(f[2])});
    return "";
  }
  if (f[0] == "P" && f.size() == 7) {
    WorldPlace place{f[1], f[3]};
    if (!isShowableName(place.city)) return "bad city name";
    if (!place.region.empty() && !isCode(place.region)) return "bad region code";
    if (!parseNumber(f[4], place.population)) return "bad population";
    if (!parseCoordinates(f[5], f[6], place.latitude, place.longitude)) return "bad coordinates";
    world.places.push_back(place);
    countryOf.push_back(f[2]);
    return "";
  }
  if (f[0] == "Z" && f.size() == 6) {
    ZipCode zip;
    zip.state = f[2];
    zip.nearest = f[5];
    if (f[1].size() != 5 || !parseNumber(f[1], zip.code)) return "bad ZIP code";
    if (!isCode(zip.state)) return "bad state code";
    if (!zip.nearest.empty() && !isShowableName(zip.nearest)) return "bad town name";
    if (!parseCoordinates(f[3], f[4], zip.latitude, zip.longitude)) return "bad coordinates";
    world.zips.push_back(zip);
    return "";
  }
  return "unknown record or wrong number of fields";
}

void buildIndex(Gazetteer& world) {
  std::stable_sort(
      world.places.begin(), world.places.end(),
      [](const WorldPlace& a, const WorldPlace& b) { return a.population > b.population; });
  std::sort(world.zips.begin(), world.zips.end(),
            [](const ZipCode& a, const ZipCode& b) { return a.code < b.code; });
  world.keyStart.reserve(world.places.size() + 1);
  for (std::uint32_t i = 0; i < world.places.size(); ++i) {
    world.keyStart.push_back(std::uint32_t(world.keys.size()));
    std::string key = matchKey(world.places[i].city);
    for (std::size_t at = 0; at < key.size(); ++at)
      if (at == 0 || key[at - 1] == ' ') world.index.push_back({i, std::uint32_t(at)});
    world.keys += key;
  }
  world.keyStart.push_back(std::uint32_t(world.keys.size()));
  auto suffix = [&](const Gazetteer::Entry& e) {
    return placeKey(world, e.place).substr(e.offset);
  };
  std::sort(
      world.index.begin(), world.index.end(),
      [&](const Gazetteer::Entry& a, const Gazetteer::Entry& b) { return suffix(a) < suffix(b); });
  std::size_t leaves = 1;
  while (leaves < world.index.size()) leaves *= 2;
  world.rangeMin.assign(2 * leaves, UINT32_MAX);
  for (std::size_t i = 0; i < world.index.size(); ++i)
    world.rangeMin[leaves + i] = world.index[i].place;
  for (std::size_t node = leaves - 1; node > 0; --node)
    world.rangeMin[node] = std::min(world.rangeMin[2 * node], world.rangeMin[2 * node + 1]);
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
    } else if ((places.empty() || places.back() != place) && keep(world.index[node - leaves])) {
      places.push_back(place);
    }
  }
  return places;
}

// How the part after a comma fits a place: codes must be whole, names may be
// begun ("Springfield, Miss").
enum class Fit { None, Begun, Exact };

Fit fitOf(const Gazetteer& world, const WorldPlace& place, std::string_view qualifier) {
  Fit fit = Fit::None;
  auto consider = [&](const Region* region) {
    if (!region) return;
    if (region->codeKey == qualifier || region->nameKey == qualifier)
      fit = Fit::Exact;
    else if (fit == Fit::None && std::string_view(region->nameKey).starts_with(qualifier))
      fit = Fit::Begun;
  };
  if (!place.region.empty()) consider(findRegion(world.states, place.region));
  consider(&world.countries[place.country]);
  return fit;
}

bool isZipForm(std::string_view key) {
  auto digits = [&](std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i)
      if (key[i] < '0' || key[i] > '9') return false;
    return true;
  };
  return (key.size() == 5 && digits(0, 5)) ||
         (key.size() == 10 && digits(0, 5) && key[5] == ' ' && digits(6, 4));
}

}  // namespace

Gazetteer parseGazetteer(std::string text) {
  Gazetteer world;
  world.text = std::make_shared<const std::string>(std::move(text));
  std::string_view rest = *world.text;
  std::vector<std::string_view> countryOf;
  for (int number = 1; !rest.empty(); ++number) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::string error = parseLine(world, line, countryOf);
    if (!error.empty()) {
      world.error = "line " + std::to_string(number) + ": " + error;
      return world;
    }
  }
  // Countries are listed before use or not at all; look them up once.
  for (std::size_t i = 0; i < world.places.size(); ++i) {
    const Region* country = findRegion(world.countries, countryOf[i]);
    if (!country) {
      world.error = "place " + std::string(world.places[i].city) + ": unknown country " +
                    std::string(countryOf[i]);
      return world;
    }
    world.places[i].country = std::uint16_t(country - world.countries.data());
  }
  if (world.places.empty()) {
    world.error = "no places";
    return world;
  }
  buildIndex(world);
  return world;
}

Gazetteer loadGazetteer(const std::string& path) {
  auto text = readFile(path);
  if (!text) {
    Gazetteer world;
    world.error = "cannot open " + path;
    return world;
  }
  Gazetteer world = parseGazetteer(std::move(*text));
  if (!world.error.empty()) world.error = path + ": " + world.error;
  return world;
}

std::string_view placeKey(const Gazetteer& world, std::uint32_t place) {
  return std::string_view(world.keys)
      .substr(world.keyStart[place], world.keyStart[place + 1] - world.keyStart[place]);
}

std::string displayName(const Gazetteer& world, const WorldPlace& place) {
  std::string name(place.city);
  name += ", ";
  name += place.region.empty() ? world.countries[place.country].name : place.region;
  return name;
}

std::string zipName(const ZipCode& zip) {
  char code[8];
  std::snprintf(code, sizeof code, "%05u", unsigned(zip.code));
  if (zip.nearest.empty()) return "ZIP " + std::string(code) + ", " + std::string(zip.state);
  return std::string(zip.nearest) + ", " + std::string(zip.state) + " " + code;
}

WorldMatch searchWorld(const Gazetteer& world, std::string_view query) {
  WorldMatch match;
  std::string ascii = asciiFromQuery(query.substr(0, kMaxQueryBytes));
  std::string key = matchKey(ascii);
  if (key.empty()) return match;

  if (isZipForm(key)) {
    std::uint32_t code = 0;
    parseNumber(std::string_view(key).substr(0, 5), code);
    auto at = std::lower_bound(world.zips.begin(), world.zips.end(), code,
                               [](const ZipCode& zip, std::uint32_t c) { return zip.code < c; });
    if (at != world.zips.end() && at->code == code)
      match.hit = Located{zipName(*at), at->latitude, at->longitude};
    return match;
  }

  std::size_t comma = ascii.find(',');
  std::string city = matchKey(std::string_view(ascii).substr(0, comma));
  std::string qualifier =
      comma == std::string::npos ? "" : matchKey(std::string_view(ascii).substr(comma + 1));
  // The two country names people write most that are no ISO codes.
  if (qualifier == "uk") qualifier = "gb";
  if (qualifier == "usa") qualifier = "us";
  if (city.empty()) return match;

  auto suffix = [&](const Gazetteer::Entry& e) {
    return placeKey(world, e.place).substr(e.offset);
  };
  auto first = std::lower_bound(
      world.index.begin(), world.index.end(), city,
      [&](const Gazetteer::Entry& e, const std::string& c) { return suffix(e) < c; });
  auto last = std::partition_point(first, world.index.end(), [&](const Gazetteer::Entry& e) {
    return suffix(e).starts_with(city);
  });
  if (!qualifier.empty()) {
    // The whole name sorts first among the names it begins; the most
    // populous exact "City, ST" is a direct hit.
    const WorldPlace* exact = nullptr;
    for (auto at = first; at != last && suffix(*at) == city; ++at) {
      const WorldPlace& place = world.places[at->place];
      if (at->offset == 0 && fitOf(world, place, qualifier) == Fit::Exact &&
          (!exact || &place < exact))
        exact = &place;
    }
    if (exact) {
      match.hit = Located{displayName(world, *exact), exact->latitude, exact->longitude};
      return match;
    }
  }
  std::vector<std::uint32_t> found = mostPopulous(
      world, first - world.index.begin(), last - world.index.begin(), kMaxListed + 1,
      [&](const Gazetteer::Entry& e) {
        return qualifier.empty() || fitOf(world, world.places[e.place], qualifier) != Fit::None;
      });
  if (found.size() == 1) {
    const WorldPlace& place = world.places[found[0]];
    match.hit = Located{displayName(world, place), place.latitude, place.longitude};
    return match;
  }
  for (std::size_t i = 0; i < found.size() && i < kMaxListed; ++i)
    match.listed.push_back(&world.places[found[i]]);
  return match;
}
