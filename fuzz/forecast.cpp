// The forecast server's answer on arbitrary bytes and statuses: a reading
// only from status 200, and only with finite, plausible temperatures.

#include <cmath>
#include <cstdint>
#include <string_view>

#include "check.h"
#include "service/weather/open_meteo_answer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  int status = data[0] < 128 ? 200 : 100 + data[0];
  std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
  UpstreamResult result = parseForecast(status, body);
  check(result.reading.has_value() == result.error.empty(), "a reading or a reason");
  if (result.reading) {
    check(status == 200, "a reading only from status 200");
    for (double value : {result.reading->temperatureF, result.reading->feelsLikeF}) {
      check(std::isfinite(value) && std::fabs(value) <= 200, "plausible temperature");
      check(std::abs(wholeDegrees(value) - value) <= 0.5, "rounded to the nearest");
    }
  }
  return 0;
}
