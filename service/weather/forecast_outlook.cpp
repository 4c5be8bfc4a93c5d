#include "service/weather/forecast_outlook.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>

namespace {

// A whole number in [low, high]: 61 or 61.0, never 61.5, "61" or null.
std::optional<int> wholeNumber(const nlohmann::json& value, int low, int high) {
  if (!value.is_number()) return std::nullopt;
  double number = value.get<double>();
  if (!std::isfinite(number) || number != std::floor(number) || number < low || number > high)
    return std::nullopt;
  return int(number);
}

const nlohmann::json* field(const nlohmann::json& object, const char* name) {
  if (!object.is_object()) return nullptr;
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

// The first day's value of a daily series.
const nlohmann::json* today(const nlohmann::json& daily, const char* name) {
  const nlohmann::json* series = field(daily, name);
  if (!series || !series->is_array() || series->empty()) return nullptr;
  return &(*series)[0];
}

bool inUnit(const nlohmann::json& document, const char* name, std::string_view unit) {
  const nlohmann::json* units = field(document, "daily_units");
  if (!units) return true;  // the request asked for these units
  const nlohmann::json* given = field(*units, name);
  return given && given->is_string() && given->get_ref<const std::string&>() == unit;
}

std::optional<double> dailyFahrenheit(const nlohmann::json& document, const nlohmann::json& daily,
                                      const char* name) {
  const nlohmann::json* value = today(daily, name);
  if (!value || !value->is_number() ||
      !inUnit(document, name,
              "\xC2\xB0"
              "F"))
    return std::nullopt;
  return value->get<double>();
}

}  // namespace

DayOutlook forecastOutlook(const nlohmann::json& document) {
  DayOutlook outlook;
  const nlohmann::json* current = field(document, "current");
  if (current) {
    if (const nlohmann::json* code = field(*current, "weather_code"))
      outlook.weatherCode = wholeNumber(*code, 0, 99);
    if (const nlohmann::json* day = field(*current, "is_day")) {
      if (auto flag = wholeNumber(*day, 0, 1)) outlook.daytime = *flag == 1;
    }
  }
  // "today" is the place's own day: a series for another day is not today's.
  const nlohmann::json* daily = field(document, "daily");
  const nlohmann::json* day = daily ? today(*daily, "time") : nullptr;
  const nlohmann::json* now = current ? field(*current, "time") : nullptr;
  bool sameDay =
      !day || !now ||
      (day->is_string() && now->is_string() &&
       now->get_ref<const std::string&>().compare(0, 10, day->get_ref<const std::string&>()) == 0 &&
       day->get_ref<const std::string&>().size() == 10);
  if (daily && sameDay) {
    outlook.highF = dailyFahrenheit(document, *daily, "temperature_2m_max");
    outlook.lowF = dailyFahrenheit(document, *daily, "temperature_2m_min");
    const nlohmann::json* chance = today(*daily, "precipitation_probability_max");
    if (chance && inUnit(document, "precipitation_probability_max", "%"))
      outlook.precipitationPercent = wholeNumber(*chance, 0, 100);
  }
  return plausibleOutlook(outlook);
}
