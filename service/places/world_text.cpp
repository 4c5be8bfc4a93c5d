#include <cmath>
#include <cstring>
#include <fstream>
#include <unordered_map>

#include "service/places/query_text.h"
#include "service/places/report_link.h"
#include "service/places/world_tables.h"

// Reads the data file's text (see gazetteer.h) into tables: every line
// checked, every text interned once.

namespace {

// Other names marked so in the data file are as good as the town's own.
constexpr char kOwnMark = '*';

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

// What the file's records are read into before the index is built. Texts
// go into the arena once each, found again through a table of offsets, so
// that loading leaves no crowd of small blocks behind.
struct Loader {
  WorldTables& world;
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
    std::size_t i = hash(std::string_view(world.arena.data() + offset)) & mask;
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
  WorldTables& world = load.world;
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

// Reads the lines that `next` gives, one at a time, so that the file itself
// is never held whole.
template <typename NextLine>
WorldTables readTables(NextLine next) {
  WorldTables world;
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
  buildIndex(world, [&load](std::string_view text) { return load.text(text); });
  return world;
}

}  // namespace

WorldTables readWorldText(std::string_view text) {
  return readTables([&](std::string_view& line) {
    if (text.empty()) return false;
    std::size_t end = text.find('\n');
    line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return true;
  });
}

WorldTables readWorldFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    WorldTables world;
    world.error = "cannot open " + path;
    return world;
  }
  std::string buffer;
  WorldTables world = readTables([&](std::string_view& line) {
    if (!std::getline(file, buffer)) return false;
    line = buffer;
    return true;
  });
  if (!world.error.empty()) world.error = path + ": " + world.error;
  return world;
}
