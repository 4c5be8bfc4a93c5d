#pragma once
// Owns what every place source answers, the sample places and the world's
// towns alike: the place a report is about, the entries of a results page,
// and what the home page says of the source.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/weather/weather_model.h"

// How prominently a sample place is listed on a results page.
enum class Rank { Top, Main, Minor };

struct Place {
  std::string name;  // "City, ST" or "City, Country"; never holds '<', '&' or '"'
  std::string link;  // its report link, "/report/..."
  // What seeds its sample weather from hour to hour: the sample's slug, the
  // world's report link.
  std::string slug;
  Rank rank = Rank::Main;
  std::vector<std::string> postalCodes;
  double latitude = 0, longitude = 0;
  Climate climate;
};

inline Weather weatherAt(const Place& place, UnixTime now) {
  return weatherAt(place.climate, place.longitude, place.slug, now);
}

// How a results page marks a place's link: a main place's
// ("resolveLinkSpecial") is read by the program in preference to a minor
// place's ("resolveLink").
enum class LinkKind { Main, Minor };

struct Listed {
  std::string name;
  std::string link;
  LinkKind kind = LinkKind::Main;
};

// A results page: a "Top locations" section and a "More locations" one
// when `top` holds entries, else one "Matching locations" section of `more`.
struct ResultList {
  std::vector<Listed> top, more;
  std::string_view topNote;       // after "Top locations &mdash; "
  std::string_view matchingNote;  // after "Matching locations &mdash; "
};

struct Found {
  std::optional<Place> hit;  // a direct hit: its report page
  ResultList list;           // otherwise these; nothing in either: not found
};

struct HomeText {
  std::string title;
  std::string intro;            // HTML paragraphs under the title
  std::vector<Listed> entries;  // listed below them, when any
};

struct LinkVerdict {
  int status = 200;  // 200: canonical; 301: go to `link`; 404: no place there
  std::string link;
};

struct PlaceSource {
  // `query` is decoded already (see decodeQuery).
  std::function<Found(std::string_view query)> search;
  // The place of a whole report link path, "/report/...", if it names one.
  std::function<std::optional<Place>(std::string_view path)> resolve;
  // Whether a "/report/..." path is its place's one link (`hasQuery`: a query
  // followed it); empty when every link the source resolves is its own.
  std::function<LinkVerdict(std::string_view path, bool hasQuery)> canonical;
  // `live`: the weather is live, not the sample's.
  std::function<HomeText(bool live)> home;
  std::size_t count = 0;  // places held, for the start-up line
};
