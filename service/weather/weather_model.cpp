#include "service/weather/weather_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double kPi = 3.14159265358979323846;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  std::int64_t yoe = y - era * 400;
  std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d) {
  z += 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  d = int(doy - (153 * mp + 2) / 5 + 1);
  m = int(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

std::int64_t floorDiv(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0); }

// The month means stand for the middle of their months; between them the
// mean runs in a straight line, wrapping from December to January.
double seasonalMeanF(const Climate& climate, double longitude, UnixTime now) {
  double localDays = double(now) / 86400.0 + longitude / 360.0;
  std::int64_t day = std::int64_t(std::floor(localDays));
  std::int64_t year;
  int month, dayOfMonth;
  civilFromDays(day, year, month, dayOfMonth);
  double start = double(daysFromCivil(year, 1, 1));
  double length = double(daysFromCivil(year + 1, 1, 1)) - start;
  double months = (localDays - start) / length * 12.0 - 0.5;
  double below = std::floor(months);
  double fraction = months - below;
  int first = int(((std::int64_t(below) % 12) + 12) % 12);
  return climate.monthlyMeanF[first] * (1 - fraction) +
         climate.monthlyMeanF[(first + 1) % 12] * fraction;
}

// -1 at 06:00 (dawn), +1 at 15:00, a half cosine on each side.
double diurnalShape(double hour) {
  if (hour < 6) hour += 24;
  if (hour <= 15) return -std::cos(kPi * (hour - 6) / 9);
  return std::cos(kPi * (hour - 15) / 15);
}

// A stable 64-bit mix of the place's slug and the hour.
std::uint64_t hashOf(std::string_view slug, std::int64_t hour) {
  std::uint64_t h = 1469598103934665603ull;
  for (unsigned char c : slug) h = (h ^ c) * 1099511628211ull;
  h ^= std::uint64_t(hour);
  h += 0x9e3779b97f4a7c15ull;
  h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ull;
  h = (h ^ (h >> 27)) * 0x94d049bb133111ebull;
  return h ^ (h >> 31);
}

double windChillF(double t, double v) {
  double p = std::pow(v, 0.16);
  return 35.74 + 0.6215 * t - 35.75 * p + 0.4275 * t * p;
}

double heatIndexF(double t, double r) {
  double hi = -42.379 + 2.04901523 * t + 10.14333127 * r - 0.22475541 * t * r - 0.00683783 * t * t -
              0.05481717 * r * r + 0.00122874 * t * t * r + 0.00085282 * t * r * r -
              0.00000199 * t * t * r * r;
  if (r < 13 && t <= 112) hi -= (13 - r) / 4 * std::sqrt((17 - std::fabs(t - 95)) / 17);
  if (r > 85 && t <= 87) hi += (r - 85) / 10 * (87 - t) / 5;
  return hi;
}

// A day's chance of precipitation in tens of percent, mostly dry; and at
// each hour either its rain or snow (as warm or cold as it is) or its sky.
void sampleSky(DayOutlook& outlook, std::string_view seed, double temperatureF, double hour,
               UnixTime now, double longitude) {
  std::int64_t localDay = floorDiv(now + std::int64_t(longitude / 15 * 3600), 86400);
  std::uint64_t day = hashOf(seed, -1 - localDay);
  int tens = int(day % 10);
  int chance = tens < 5 ? tens * 2 : tens < 8 ? (tens - 3) * 10 + 5 : tens * 10;
  outlook.precipitationPercent = chance / 10 * 10;
  std::uint64_t h = hashOf(seed, floorDiv(now, 3600)) >> 40;
  int roll = int(h % 100), kind = int((h >> 8) % 4);
  if (roll < chance) {
    if (temperatureF >= 70 && kind == 0) {
      outlook.weatherCode = 95;
    } else if (temperatureF <= 30) {
      constexpr int kSnow[] = {71, 73, 75, 85};
      outlook.weatherCode = kSnow[kind];
    } else if (temperatureF <= 35) {
      constexpr int kFreezing[] = {56, 66, 71, 73};
      outlook.weatherCode = kFreezing[kind];
    } else {
      constexpr int kRain[] = {53, 61, 63, 80};
      outlook.weatherCode = kRain[kind];
    }
  } else {
    int sky = int((h >> 16) % 100);
    outlook.weatherCode = sky < 35 ? 0 : sky < 55 ? 1 : sky < 75 ? 2 : sky < 93 ? 3 : 45;
  }
  outlook.daytime = hour >= 6 && hour < 18;
}

}  // namespace

double solarHour(double longitude, UnixTime now) {
  double hour = double(now - floorDiv(now, 86400) * 86400) / 3600.0 + longitude / 15.0;
  return std::fmod(hour + 48.0, 24.0);
}

int feelsLikeF(int temperatureF, int windMph, int humidityPercent) {
  if (temperatureF <= 50 && windMph >= 3)
    return int(std::lround(windChillF(temperatureF, windMph)));
  if (temperatureF >= 80) return int(std::lround(heatIndexF(temperatureF, humidityPercent)));
  return temperatureF;
}

Climate latitudeClimate(double latitude) {
  // Warm and steady near the equator, colder with a wider year towards the
  // poles; summer in July in the north and in January in the south.
  Climate climate;
  double distance = std::fabs(latitude);
  double meanF = 80 - 0.9 * std::max(0.0, distance - 15);
  double halfRangeF = std::min(30.0, 0.5 * distance) * (latitude < 0 ? -1 : 1);
  for (int month = 0; month < 12; ++month)
    climate.monthlyMeanF[month] = meanF - halfRangeF * std::cos(2 * kPi * month / 12);
  climate.dailySwingF = 16;
  return climate;
}

Weather weatherAt(const Climate& climate, double longitude, std::string_view seed, UnixTime now) {
  Weather weather;
  double hour = solarHour(longitude, now);
  weather.exactF =
      seasonalMeanF(climate, longitude, now) + climate.dailySwingF / 2 * diurnalShape(hour);
  weather.temperatureF = int(std::lround(weather.exactF));
  std::uint64_t h = hashOf(seed, floorDiv(now, 3600));
  weather.windMph = int(h % 24);
  // Air dries out in the afternoon warmth, as it does outdoors.
  int humidity = 30 + int((h >> 20) % 61) - int(std::lround(15 * diurnalShape(hour)));
  weather.humidityPercent = humidity < 5 ? 5 : humidity > 100 ? 100 : humidity;
  weather.feelsLikeF = feelsLikeF(weather.temperatureF, weather.windMph, weather.humidityPercent);
  double mean = weather.exactF - climate.dailySwingF / 2 * diurnalShape(hour);
  weather.outlook.highF = std::round((mean + climate.dailySwingF / 2) * 10) / 10;
  weather.outlook.lowF = std::round((mean - climate.dailySwingF / 2) * 10) / 10;
  sampleSky(weather.outlook, seed, weather.exactF, hour, now, longitude);
  return weather;
}

std::optional<UnixTime> parseUtc(std::string_view text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
  std::string copy(text);
  int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2dT%2d:%2d%n:%2d%n", &y, &mo, &d, &h, &mi, &used,
                           &s, &used);
  if (fields < 5 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60 || h < 0 ||
      mi < 0 || s < 0)
    return std::nullopt;
  std::string_view rest = text.substr(std::size_t(used));
  if (!rest.empty() && rest != "Z") return std::nullopt;
  return daysFromCivil(y, mo, d) * 86400 + h * 3600 + mi * 60 + s;
}

std::string formatUtc(UnixTime time) {
  std::int64_t year;
  int month, day;
  civilFromDays(floorDiv(time, 86400), year, month, day);
  std::int64_t seconds = time - floorDiv(time, 86400) * 86400;
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d UTC", static_cast<long long>(year),
                month, day, int(seconds / 3600), int(seconds / 60 % 60));
  return text;
}
