#include "service/places/sample_places.h"

#include <charconv>
#include <fstream>
#include <sstream>

namespace {

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  for (;;) {
    std::size_t at = text.find(separator);
    parts.push_back(text.substr(0, at));
    if (at == std::string_view::npos) return parts;
    text.remove_prefix(at + 1);
  }
}

bool parseNumber(std::string_view text, double& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

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
  auto fields = split(line, '\t');
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
  auto rank = parseRank(fields[1]);
  if (!rank) {
    error = "rank must be top, main or minor";
    return std::nullopt;
  }
  place.rank = *rank;
  if (fields[2] != "-") {
    for (auto code : split(fields[2], ',')) {
      // Stored as its match key, so that any case matches.
      std::string key = matchKey(code);
      if (key.empty() || key.size() != code.size() || key.find(' ') != std::string::npos) {
        error = "bad postal code";
        return std::nullopt;
      }
      place.postalCodes.push_back(key);
    }
  }
  double* numbers[15] = {&place.latitude, &place.longitude, &place.dailySwingF};
  for (int month = 0; month < 12; ++month) numbers[3 + month] = &place.monthlyMeanF[month];
  for (int i = 0; i < 15; ++i) {
    if (!parseNumber(fields[3 + i], *numbers[i])) {
      error = "field " + std::to_string(4 + i) + " is not a number";
      return std::nullopt;
    }
  }
  if (place.latitude < -90 || place.latitude > 90 || place.longitude < -180 ||
      place.longitude > 180 || place.dailySwingF < 0) {
    error = "coordinates or swing out of range";
    return std::nullopt;
  }
  return place;
}

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string cityKey(const Place& place) {
  return matchKey(std::string_view(place.name).substr(0, place.name.rfind(',')));
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

PlaceData parsePlaces(std::string_view text) {
  PlaceData data;
  int number = 0;
  for (auto line : split(text, '\n')) {
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
  std::ifstream file(path, std::ios::binary);
  if (!file) return {{}, "cannot open " + path};
  std::ostringstream text;
  text << file.rdbuf();
  PlaceData data = parsePlaces(text.str());
  if (!data.error.empty()) data.error = path + ": " + data.error;
  return data;
}

std::string matchKey(std::string_view text) {
  std::string key;
  bool gap = false;
  for (unsigned char c : text) {
    bool digit = c >= '0' && c <= '9', upper = c >= 'A' && c <= 'Z', lower = c >= 'a' && c <= 'z';
    if (!digit && !upper && !lower) {
      gap = !key.empty();
      continue;
    }
    if (gap) key += ' ';
    gap = false;
    key += upper ? char(c - 'A' + 'a') : char(c);
  }
  return key;
}

std::string decodeQuery(std::string_view raw) {
  std::string text;
  for (std::size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '%' && i + 2 < raw.size() && hexValue(raw[i + 1]) >= 0 && hexValue(raw[i + 2]) >= 0) {
      text += char(hexValue(raw[i + 1]) * 16 + hexValue(raw[i + 2]));
      i += 2;
    } else {
      text += (c == '+' || c == '_') ? ' ' : c;
    }
  }
  return text;
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
      codePrefix = codePrefix || startsWith(code, key);
    }
    if (codeExact || name == key || cityKey(place) == key) exact.push_back(&place);
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
