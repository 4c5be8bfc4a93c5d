// The report page scanner on arbitrary pages, beside a plain reading of its
// rules that searches with std::string_view::find instead of findMarker; and
// the reading's time, beside the C library's reading of the time it found.

#include <cstdint>
#include <cstring>
#include <ctime>
#include <string_view>

#include "check.h"
#include "weather/weather_page.h"

namespace {

void copyValue(std::string_view page, std::size_t start, char stop, TextBuffer& out,
               std::size_t& stopAt) {
  std::memset(out, 0, kTextSize);
  stopAt = std::string_view::npos;
  if (start >= page.size()) return;
  std::size_t end = page.find(stop, start);
  copyText(out, page.substr(start, end == std::string_view::npos ? end : end - start));
  stopAt = end;
}

// A head mark's content: its first marker and the quote after it, both
// before the location marker.
void referenceHeadMark(std::string_view page, std::size_t location, std::string_view marker,
                       TextBuffer& out) {
  std::size_t mark = page.find(marker);
  if (mark == std::string_view::npos || mark + marker.size() > location) return;
  std::size_t quote = page.find('"', mark + marker.size());
  if (quote >= location) return;
  copyText(out, page.substr(mark + marker.size(), quote - mark - marker.size()));
}

// The head's tenths; the name at the first location marker; then, in page
// order after it, every temperature and feels-like marker not inside an
// earlier copied value, the last one of each kind winning. A value without
// its stop byte ends the scan.
void referenceScan(std::string_view page, Conditions& result) {
  std::memset(&result, 0, sizeof result);
  constexpr std::string_view location = "currentWeather\"", temperature = "currentTemperature\"",
                             feelsLike = "Feels Like:<";
  std::size_t at = page.find(location);
  if (at == std::string_view::npos) return;
  referenceHeadMark(page, at, kExactTemperatureMarker, result.exactTemperatureText);
  referenceHeadMark(page, at, kExactFeelsLikeMarker, result.exactFeelsLikeText);
  referenceHeadMark(page, at, kWeatherCodeMarker, result.weatherCodeText);
  referenceHeadMark(page, at, kDaytimeMarker, result.daytimeText);
  referenceHeadMark(page, at, kHighMarker, result.highText);
  referenceHeadMark(page, at, kLowMarker, result.lowText);
  referenceHeadMark(page, at, kPrecipitationMarker, result.precipitationText);
  referenceHeadMark(page, at, kSourceMarker, result.sourceText);
  std::size_t stop;
  copyValue(page, at + 16, '<', result.locationName, stop);
  for (std::size_t i = 0; i < kTextSize && result.locationName[i]; ++i) {
    unsigned char byte = result.locationName[i];
    if (byte < 32 || byte == 127) result.locationName[i] = ' ';
  }
  while (stop != std::string_view::npos) {
    std::size_t t = page.find(temperature, stop + 1), f = page.find(feelsLike, stop + 1);
    if (t == std::string_view::npos && f == std::string_view::npos) return;
    if (t < f) {
      copyValue(page, t + 20, '&', result.temperatureText, stop);
    } else {
      copyValue(page, f + 45, '&', result.feelsLikeText, stop);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view page(reinterpret_cast<const char*>(data), size);
  Conditions scanned, expected;
  std::memset(&scanned, 0xA5, sizeof scanned);  // every byte must be rewritten
  scanWeatherPage(page, scanned);
  referenceScan(page, expected);
  check(std::memcmp(&scanned, &expected, sizeof scanned) == 0, "scan equals the plain reading");
  for (const TextBuffer* field :
       {&scanned.locationName, &scanned.temperatureText, &scanned.feelsLikeText}) {
    check(std::memchr(*field, '\0', kTextSize) != nullptr, "text terminated within 256 bytes");
    // The name's control bytes became spaces; the values are the page's own.
    if (field != &scanned.locationName)
      check(contains(page, textOf(*field)), "text is a piece of the page");
  }
  check(!contains(textOf(scanned.locationName), "<"), "name stops before '<'");

  // A time taken from the page is within reach of the download and is the
  // mark's text, written back in the same form, in the page's head.
  constexpr int64_t downloadedAt = 1796652300;  // 2026-12-07T14:05:00Z
  std::optional<int64_t> observed = observedTime(page, downloadedAt);
  check(readingTime(page, downloadedAt) == observed.value_or(downloadedAt), "else the download");
  if (observed) {
    check(*observed <= downloadedAt + kObservedAheadLimit &&
              *observed >= downloadedAt - kObservedAgeLimit,
          "a mark's time is plausible");
    std::time_t time = static_cast<std::time_t>(*observed);
    std::tm utc{};
    gmtime_r(&time, &utc);
    char minutes[32], seconds[32];
    std::strftime(minutes, sizeof minutes, "%Y-%m-%dT%H:%MZ\"", &utc);
    std::strftime(seconds, sizeof seconds, "%Y-%m-%dT%H:%M:%SZ\"", &utc);
    std::size_t mark = page.find(kObservedMarker);
    check(mark != std::string_view::npos && mark < page.find("currentWeather\""),
          "the mark stands before the location");
    std::string_view value = page.substr(mark + kObservedMarker.size());
    check(value.starts_with(minutes) || value.starts_with(seconds), "the time is the mark's");
  }
  return 0;
}
