#pragma once
// The places the sample service knows, read from its data file, and the
// matching of a search query against them.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// How prominently a place is listed on a results page.
enum class Rank { Top, Main, Minor };

struct Place {
  std::string name;  // "City, ST" or "City, Country"; never holds '<', '&' or '"'
  std::string slug;  // its report link is "/report/" + slug
  Rank rank = Rank::Main;
  std::vector<std::string> postalCodes;
  double latitude = 0, longitude = 0;
  double dailySwingF = 0;                 // warmest minus coldest hour of a day
  std::array<double, 12> monthlyMeanF{};  // January first
};

struct PlaceData {
  std::vector<Place> places;
  std::string error;  // empty when the data was read whole
};

// Parses the tab-separated data file's text; stops at the first bad line.
PlaceData parsePlaces(std::string_view text);
PlaceData loadPlaces(const std::string& path);

// Lowercase ASCII letters and digits; every run of anything else becomes one
// space, trimmed. "St. Louis, MO" and "st_louis+mo" both give "st louis mo".
std::string matchKey(std::string_view text);

// Decodes a query as it arrives in a link: percent escapes, and '+' and '_'
// as spaces. A '%' without two hex digits stays as it is.
std::string decodeQuery(std::string_view raw);

struct QueryMatch {
  const Place* exact = nullptr;  // set when the query names exactly one place
  std::vector<const Place*> matches;
};

// A postal code, a whole name or a city name held by only one place is an
// exact hit. Otherwise every place is listed that has a name word starting
// with the query or a postal code starting with it.
QueryMatch matchQuery(const std::vector<Place>& places, std::string_view query);

const Place* findBySlug(const std::vector<Place>& places, std::string_view slug);
