#pragma once
// The service's answers when it searches the world's towns (--places world):
// results pages, and the place a report page is about, which the routing
// then fills with weather as it does for the sample places.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/places/gazetteer.h"
#include "service/places/sample_places.h"

struct WorldAnswer {
  std::optional<Place> report;  // answer with this place's report page
  int status = 200;
  std::string body;  // otherwise with this page
};

// `location` is the raw value of "location=" when the request is a search.
WorldAnswer answerWorld(const Gazetteer& world, std::string_view path,
                        std::optional<std::string_view> location);

// A place for the weather model: the name and coordinates, and a rough
// climate from the latitude alone. Its slug is its report link, so a direct
// hit and its link bring the same weather.
Place worldPlace(const Located& located);

std::string worldResultsPage(std::string_view query, const std::vector<Located>& listed);
