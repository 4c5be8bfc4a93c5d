#include "service/alerts/alert.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "service/weather/weather_model.h"

namespace {

constexpr const char* kSeverityNames[] = {"Unknown", "Minor", "Moderate", "Severe", "Extreme"};

// The Windows-1252 byte of a code point, or 0 when it has none.
unsigned char windows1252(std::uint32_t code) {
  if ((code >= 0x20 && code < 0x7F) || (code >= 0xA0 && code <= 0xFF)) return (unsigned char)code;
  switch (code) {
    case 0x20AC:
      return 0x80;
    case 0x2026:
      return 0x85;
    case 0x2018:
      return 0x91;
    case 0x2019:
      return 0x92;
    case 0x201C:
      return 0x93;
    case 0x201D:
      return 0x94;
    case 0x2022:
      return 0x95;
    case 0x2013:
      return 0x96;
    case 0x2014:
      return 0x97;
    default:
      return 0;
  }
}

// A number of `count` digits at `at`, or -1.
int digits(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "Sun, 07 Dec 2026 19:05:00 GMT", the one form HTTP dates take today.
std::optional<std::int64_t> httpDate(std::string_view text) {
  static constexpr std::string_view kMonths = "JanFebMarAprMayJunJulAugSepOctNovDec";
  if (text.size() != 29 || text.substr(25) != " GMT") return std::nullopt;
  std::size_t month = kMonths.find(text.substr(8, 3));
  if (month == std::string_view::npos || month % 3 != 0) return std::nullopt;
  char iso[32];
  std::snprintf(iso, sizeof iso, "%.4s-%02d-%.2sT%.8sZ", text.data() + 12, int(month / 3 + 1),
                text.data() + 5, text.data() + 17);
  return parseUtc(iso);
}

}  // namespace

const char* severityName(AlertSeverity severity) { return kSeverityNames[int(severity)]; }

AlertSeverity severityFromName(std::string_view name) {
  for (int i = 1; i < 5; ++i)
    if (name == kSeverityNames[i]) return AlertSeverity(i);
  return AlertSeverity::Unknown;
}

std::optional<SourceTime> parseSourceTime(std::string_view text) {
  if (text.size() < 16 || text.size() > 40) return std::nullopt;
  SourceTime time;
  std::string_view local = text;
  if (text.back() == 'Z') {
    time.zulu = true;
    local.remove_suffix(1);
  } else if (text.size() >= 22 && (text[text.size() - 6] == '+' || text[text.size() - 6] == '-') &&
             text[text.size() - 3] == ':') {
    int hours = digits(text, text.size() - 5, 2), minutes = digits(text, text.size() - 2, 2);
    if (hours < 0 || hours > 18 || minutes < 0 || minutes > 59) return std::nullopt;
    time.offsetS = (hours * 3600 + minutes * 60) * (text[text.size() - 6] == '-' ? -1 : 1);
    local.remove_suffix(6);
  } else {
    return std::nullopt;
  }
  // Fractions of a second say nothing a user reads.
  if (std::size_t dot = local.find('.'); dot != std::string_view::npos)
    local = local.substr(0, dot);
  auto parsed = parseUtc(local);
  if (!parsed) return std::nullopt;
  time.utc = *parsed - time.offsetS;
  return time;
}

std::string pageText(std::string_view utf8, std::size_t limit) {
  std::string text;
  for (std::size_t i = 0; i < utf8.size() && text.size() < limit + 4;) {
    unsigned char lead = utf8[i];
    std::size_t length = lead < 0x80         ? 1
                         : (lead >> 5) == 6  ? 2
                         : (lead >> 4) == 14 ? 3
                         : (lead >> 3) == 30 ? 4
                                             : 0;
    std::uint32_t code = 0xFFFD;
    if (length == 0 || i + length > utf8.size()) {
      length = 1;
    } else {
      code = length == 1 ? lead : lead & (0x7F >> length);
      for (std::size_t k = 1; k < length; ++k) {
        unsigned char next = utf8[i + k];
        if ((next & 0xC0) != 0x80) {
          code = 0xFFFD;
          length = k;
          break;
        }
        code = (code << 6) | (next & 0x3F);
      }
    }
    i += length;
    bool control = code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0x2028 || code == 0x2029;
    if (control) {
      if (!text.empty() && text.back() != ' ') text += ' ';
      continue;
    }
    if (code == ' ' && !text.empty() && text.back() == ' ') continue;
    unsigned char byte = windows1252(code);
    text += byte ? char(byte) : '?';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  if (text.size() > limit) {
    text.resize(limit >= 3 ? limit - 3 : 0);
    text += "...";
  }
  return text;
}

std::int64_t freshnessSeconds(std::string_view cacheControl, std::string_view expires,
                              std::int64_t now) {
  std::int64_t best = -1;
  for (std::string_view name : {"s-maxage=", "max-age="}) {
    std::size_t at = cacheControl.find(name);
    if (at == std::string_view::npos || best >= 0) continue;
    std::int64_t value = 0;
    std::size_t i = at + name.size(), start = i;
    while (i < cacheControl.size() && i - start < 9 && cacheControl[i] >= '0' &&
           cacheControl[i] <= '9')
      value = value * 10 + (cacheControl[i++] - '0');
    if (i > start) best = value;
  }
  if (best >= 0) return best;
  if (auto until = httpDate(expires)) return std::max<std::int64_t>(0, *until - now);
  return 0;
}

std::vector<WeatherAlert> inForce(const std::vector<WeatherAlert>& all, std::int64_t now) {
  std::vector<WeatherAlert> kept;
  for (const WeatherAlert& alert : all)
    if (!alert.ends || *alert.ends > now) kept.push_back(alert);
  std::stable_sort(kept.begin(), kept.end(), [](const WeatherAlert& a, const WeatherAlert& b) {
    if (a.severity != b.severity) return a.severity > b.severity;
    return a.ends.value_or(INT64_MAX) < b.ends.value_or(INT64_MAX);
  });
  return kept;
}
