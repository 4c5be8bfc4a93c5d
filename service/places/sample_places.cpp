#include "service/places/sample_places.h"

#include <memory>

#include "service/places/query_text.h"

namespace {

constexpr std::string_view kReportPrefix = "/report/";

std::optional<Rank> parseRank(std::string_view text) {
  if (text == "top") return Rank::Top;
  if (text == "main") return Rank::Main;
  if (text == "minor") return Rank::Minor;
  return std::nullopt;
}

// The program copies the name byte for byte up to '<' and decodes no entity,
// so a name must read the same in HTML without any escaping.
bool plainName(std::string_view name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == '<' || c == '&' || c == '"' || c == 0x7f) return false;
  return true;
}

std::string slugOf(std::string_view name) {
  std::string slug = matchKey(name);
  for (char& c : slug)
    if (c == ' ') c = '-';
  return slug;
}

// Columns: name, rank, postal codes ("-" or comma-separated), latitude,
// longitude, daily swing, then twelve monthly means.
std::optional<Place> parseLine(std::string_view line, std::string& error) {
  auto fields = splitFields(line, '\t');
  if (fields.size() != 18) {
    error = "expected 18 tab-separated fields, found " + std::to_string(fields.size());
    return std::nullopt;
  }
  Place place;
  place.name = fields[0];
  if (!plainName(place.name)) {
    error = "name is empty or holds a control byte, '<', '&' or '\"'";
    return std::nullopt;
  }
  place.slug = slugOf(place.name);
  place.link = std::string(kReportPrefix) + place.slug;
  auto rank = parseRank(fields[1]);
  if (!rank) {
    error = "rank must be top, main or minor";
    return std::nullopt;
  }
  place.rank = *rank;
  if (fields[2] != "-") {
    for (auto code : splitFields(fields[2], ',')) {
      // Stored as its match key, so that any case matches.
      std::string key = matchKey(code);
      if (key.empty() || key.size() != code.size() || key.find(' ') != std::string::npos) {
        error = "bad postal code";
        return std::nullopt;
      }
      place.postalCodes.push_back(key);
    }
  }
  double* numbers[15] = {&place.latitude, &place.longitude, &place.climate.dailySwingF};
  for (int month = 0; month < 12; ++month) numbers[3 + month] = &place.climate.monthlyMeanF[month];
  for (int i = 0; i < 15; ++i) {
    if (!parseNumber(fields[3 + i], *numbers[i])) {
      error = "field " + std::to_string(4 + i) + " is not a number";
      return std::nullopt;
    }
  }
  if (place.latitude < -90 || place.latitude > 90 || place.longitude < -180 ||
      place.longitude > 180 || place.climate.dailySwingF < 0) {
    error = "coordinates or swing out of range";
    return std::nullopt;
  }
  return place;
}

// The match key of the name before its region, "Austin" of "Austin, TX".
std::string townMatchKey(const Place& place) {
  return matchKey(std::string_view(place.name).substr(0, place.name.rfind(',')));
}

}  // namespace

PlaceData parsePlaces(std::string_view text) {
  PlaceData data;
  int number = 0;
  for (auto line : splitFields(text, '\n')) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::string error;
    auto place = parseLine(line, error);
    if (place && findBySlug(data.places, place->slug)) error = "duplicate name";
    if (!error.empty()) {
      data.error = "line " + std::to_string(number) + ": " + error;
      return data;
    }
    data.places.push_back(std::move(*place));
  }
  if (data.places.empty()) data.error = "no places";
  return data;
}

PlaceData loadPlaces(const std::string& path) {
  auto text = readFile(path);
  if (!text) return {{}, "cannot open " + path};
  PlaceData data = parsePlaces(*text);
  if (!data.error.empty()) data.error = path + ": " + data.error;
  return data;
}

QueryMatch matchQuery(const std::vector<Place>& places, std::string_view query) {
  QueryMatch result;
  std::string key = matchKey(query);
  if (key.empty()) return result;
  std::vector<const Place*> exact;
  for (const Place& place : places) {
    std::string name = matchKey(place.name);
    bool codeExact = false, codePrefix = false;
    for (const auto& code : place.postalCodes) {
      codeExact = codeExact || code == key;
      codePrefix = codePrefix || std::string_view(code).starts_with(key);
    }
    if (codeExact || name == key || townMatchKey(place) == key) exact.push_back(&place);
    if (codePrefix || (" " + name).find(" " + key) != std::string::npos)
      result.matches.push_back(&place);
  }
  if (exact.size() == 1) result.exact = exact[0];
  return result;
}

const Place* findBySlug(const std::vector<Place>& places, std::string_view slug) {
  for (const Place& place : places)
    if (place.slug == slug) return &place;
  return nullptr;
}

namespace {

Listed listed(const Place& place, LinkKind kind) { return {place.name, place.link, kind}; }

LinkKind kindOf(const Place& place) {
  return place.rank == Rank::Minor ? LinkKind::Minor : LinkKind::Main;
}

// Top places get a section of their own only when some of the matches are
// not top places.
ResultList listMatches(const std::vector<const Place*>& matches) {
  ResultList list;
  list.topNote = "most searched";
  list.matchingNote = "by name";
  bool anyTop = false, allTop = true;
  for (const Place* place : matches) {
    anyTop = anyTop || place->rank == Rank::Top;
    allTop = allTop && place->rank == Rank::Top;
  }
  bool split = anyTop && !allTop;
  for (const Place* place : matches) {
    if (split && place->rank == Rank::Top)
      list.top.push_back(listed(*place, LinkKind::Main));
    else
      list.more.push_back(listed(*place, kindOf(*place)));
  }
  return list;
}

}  // namespace

PlaceSource sampleSource(std::vector<Place> places) {
  auto shared = std::make_shared<const std::vector<Place>>(std::move(places));
  PlaceSource source;
  source.count = shared->size();
  source.search = [shared](std::string_view query) {
    Found found;
    QueryMatch match = matchQuery(*shared, query);
    if (match.exact)
      found.hit = *match.exact;
    else
      found.list = listMatches(match.matches);
    return found;
  };
  source.resolve = [shared](std::string_view path) -> std::optional<Place> {
    if (!path.starts_with(kReportPrefix)) return std::nullopt;
    const Place* place = findBySlug(*shared, path.substr(kReportPrefix.size()));
    if (!place) return std::nullopt;
    return *place;
  };
  source.home = [shared](bool live) {
    HomeText home;
    home.title = live ? "Skyvane weather service" : "Sample weather service";
    home.intro = "<p>" + std::to_string(shared->size()) +
                 " places. Search by city, &ldquo;City, ST&rdquo; or US ZIP code.</p>\n";
    for (const Place& place : *shared) home.entries.push_back(listed(place, LinkKind::Main));
    return home;
  };
  return source;
}
