// The service's answer to an arbitrary request target (search queries and
// report links, fault prefixes on or off, the sample places or the world's
// towns): a status in range, a whole page, bounded waits, and a report page
// only for a place the service knows or a link that names one.

#include <cstdint>
#include <string>
#include <string_view>

#include "check.h"
#include "service/places/gazetteer.h"
#include "service/pages/routing.h"
#include "service/places/sample_places.h"
#include "service/places/world_source.h"
#include "weather/weather_page.h"

namespace {

const std::vector<Place>& places() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  check(data.error.empty(), "the places load");
  return data.places;
}

const PlaceSource& sample() {
  static PlaceSource source = sampleSource(places());
  return source;
}

const PlaceSource& world() {
  static PlaceSource source = [] {
    Gazetteer towns = loadGazetteer(SKYVANE_WORLD_EXTRACT);
    check(towns.error.empty(), "the towns load");
    return worldSource(std::move(towns));
  }();
  return source;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Routing routing;
  routing.faultPrefixes = data[0] & 1;
  routing.live = data[0] & 2;
  bool towns = data[0] & 4;
  std::string_view target(reinterpret_cast<const char*>(data) + 1, size - 1);
  Answer answer = answerRequest(towns ? world() : sample(), target, 1768485600, routing);

  check(answer.status >= 200 && answer.status <= 599, "status in range");
  check(answer.delayMs >= 0 && answer.delayMs <= kMaxDelayMs, "delay within a minute");
  if (!routing.faultPrefixes) {
    check(answer.delayMs == 0 && !answer.cut, "no faults when they are off");
    check(answer.status == 200 || answer.status == 404, "a page or not found");
  }
  if (!answer.body.empty()) {
    check(answer.body.starts_with("<!DOCTYPE html>\n") && answer.body.ends_with("</html>\n"),
          "a whole page");
  }
  Conditions read{};
  scanWeatherPage(answer.body, read);
  std::string_view name = textOf(read.locationName);
  if (!name.empty() && !towns) {
    bool known = false;
    for (const Place& place : places()) known = known || place.name == name;
    check(known, "a report page names a known place");
  }
  for (unsigned char c : name) check(c >= 0x20 && c != 0x7f && c != '&', "a showable name");
  if (!name.empty()) check(!textOf(read.temperatureText).empty(), "a report page has weather");
  return 0;
}
