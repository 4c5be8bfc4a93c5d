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

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + dayOfEra - 719468;
}

int daysInMonth(int year, int month) {
  constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// "YYYY-MM-DDTHH:MMZ" or "YYYY-MM-DDTHH:MM:SSZ", every field in range.
std::optional<int64_t> parseUtcTime(std::string_view text) {
  constexpr std::string_view minutes = "dddd-dd-ddTdd:ddZ", seconds = "dddd-dd-ddTdd:dd:ddZ";
  std::string_view pattern = text.size() == seconds.size() ? seconds : minutes;
  if (text.size() != pattern.size()) return std::nullopt;
  for (std::size_t i = 0; i < text.size(); ++i) {
    bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == 'd' ? !digit : text[i] != pattern[i]) return std::nullopt;
  }
  auto number = [&](std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
  };
  int year = number(0, 4), month = number(5, 2), day = number(8, 2);
  int hour = number(11, 2), minute = number(14, 2);
  int second = pattern == seconds ? number(17, 2) : 0;
  if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 ||
      minute > 59 || second > 59) {
    return std::nullopt;
  }
  return daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

std::size_t nextMarker(std::string_view page, std::size_t from, const ValueMarker& marker) {
  return findMarker(page, from, marker.bytes, marker.anchor);
}

}  // namespace

void scanWeatherPage(std::string_view page, Conditions& result) {
  std::memset(&result, 0, sizeof result);
  // Copied as found and checked when they are read: a mark without a
  // well-formed value is as good as none.
  struct {
    std::string_view marker;
    TextBuffer& field;
  } const headMarks[] = {{kExactTemperatureMarker, result.exactTemperatureText},
                         {kExactFeelsLikeMarker, result.exactFeelsLikeText},
                         {kWeatherCodeMarker, result.weatherCodeText},
                         {kDaytimeMarker, result.daytimeText},
                         {kHighMarker, result.highText},
                         {kLowMarker, result.lowText},
                         {kPrecipitationMarker, result.precipitationText},
                         {kSourceMarker, result.sourceText}};
  for (const auto& mark : headMarks)
    if (auto value = headMark(page, mark.marker)) copyText(mark.field, *value);
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

std::optional<std::string_view> headMark(std::string_view page, std::string_view marker) {
  std::size_t location = nextMarker(page, 0, kLocation);
  if (location == kNotFound) return std::nullopt;
  std::string_view head = page.substr(0, location);
  // 'k' of "skyvane", rare in pages.
  std::size_t mark = findMarker(head, 0, marker, 13);
  if (mark == kNotFound) return std::nullopt;
  std::string_view value = head.substr(mark + marker.size());
  std::size_t quote = value.find('"');
  if (quote == std::string_view::npos) return std::nullopt;
  return value.substr(0, quote);
}

std::optional<int64_t> observedTime(std::string_view page, int64_t downloadedAt) {
  std::optional<std::string_view> value = headMark(page, kObservedMarker);
  if (!value) return std::nullopt;
  std::optional<int64_t> time = parseUtcTime(*value);
  if (!time || *time > downloadedAt + kObservedAheadLimit ||
      *time < downloadedAt - kObservedAgeLimit) {
    return std::nullopt;
  }
  return time;
}

int64_t readingTime(std::string_view page, int64_t downloadedAt) {
  return observedTime(page, downloadedAt).value_or(downloadedAt);
}
