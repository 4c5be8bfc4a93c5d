#include "weather/weather_page.h"

#include <cstring>

#include "common/bytes.h"

Conditions conditions{};

namespace {

struct ValueMarker {
  std::string_view bytes;
  std::size_t anchor;       // a byte rare in pages, to find candidates quickly
  std::size_t valueOffset;  // from the marker's first byte to the value
  char stop;
};

// The byte after each of the first two markers and the 33 bytes after the
// feels-like marker are skipped unseen, whatever they hold.
constexpr ValueMarker kLocation{"currentWeather\"", 7, 16, '<'};
constexpr ValueMarker kTemperature{"currentTemperature\"", 7, 20, '&'};
constexpr ValueMarker kFeelsLike{"Feels Like:<", 6, 45, '&'};

std::size_t nextMarker(std::string_view page, std::size_t from, const ValueMarker& marker) {
  return findMarker(page, from, marker.bytes, marker.anchor);
}

}  // namespace

void scanWeatherPage(std::string_view page, Conditions& result) {
  std::memset(&result, 0, sizeof result);
  std::size_t location = nextMarker(page, 0, kLocation);
  if (location == kNotFound) return;
  std::size_t stop =
      copyUntil(page, location + kLocation.valueOffset, kLocation.stop, result.locationName);
  blankControlBytes(result.locationName, kTextSize);
  if (stop == kNotFound) return;

  // Both value markers are searched ahead once and searched again only when
  // a copy has passed over their last candidate, so the page is read once.
  std::size_t position = stop + 1;
  std::size_t temperature = nextMarker(page, position, kTemperature);
  std::size_t feelsLike = nextMarker(page, position, kFeelsLike);
  while (temperature != kNotFound || feelsLike != kNotFound) {
    bool temperatureFirst =
        feelsLike == kNotFound || (temperature != kNotFound && temperature < feelsLike);
    const ValueMarker& marker = temperatureFirst ? kTemperature : kFeelsLike;
    std::size_t at = temperatureFirst ? temperature : feelsLike;
    TextBuffer& field = temperatureFirst ? result.temperatureText : result.feelsLikeText;
    stop = copyUntil(page, at + marker.valueOffset, marker.stop, field);
    if (stop == kNotFound) return;
    position = stop + 1;
    if (temperature != kNotFound && temperature < position) {
      temperature = nextMarker(page, position, kTemperature);
    }
    if (feelsLike != kNotFound && feelsLike < position) {
      feelsLike = nextMarker(page, position, kFeelsLike);
    }
  }
}
