#include "weather/alerts.h"

#include <algorithm>

#include "common/bytes.h"
#include "weather/status.h"

namespace {

constexpr std::string_view kAlertTag = "<meta name=\"skyvane-alert\"";
constexpr std::string_view kAnsweredTag = "<meta name=\"skyvane-alerts\"";
constexpr std::string_view kLocationMarker = "currentWeather\"";

// The page's escapes undone: the five of HTML attributes and "&#32;".
std::string unescaped(std::string_view text) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'},  {"&lt;", '<'},   {"&gt;", '>'},
      {"&quot;", '"'}, {"&#39;", '\''}, {"&#32;", ' '}};
  std::string out;
  for (std::size_t i = 0; i < text.size() && out.size() < kMaxAlertText;) {
    bool replaced = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.substr(i, entity.size()) == entity) {
        out += c;
        i += entity.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += text[i++];
  }
  blankControlBytes(out);
  return out;
}

// The value of `name="..."` within one tag.
std::string_view attribute(std::string_view tag, std::string_view name) {
  std::string marker = " " + std::string(name) + "=\"";
  std::size_t at = tag.find(marker);
  if (at == std::string_view::npos) return {};
  std::string_view value = tag.substr(at + marker.size());
  return value.substr(0, value.find('"'));
}

int number(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

int64_t daysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t yearOfEra = year - era * 400;
  int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

// "2026-12-07T18:45-06:00" or "2026-12-07T18:45Z".
bool readEnd(std::string_view text, PageAlert& alert) {
  if (text.size() != 17 && text.size() != 22) return false;
  if (text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':') return false;
  WallTime wall{number(text, 0, 4), number(text, 5, 2), number(text, 8, 2), number(text, 11, 2),
                number(text, 14, 2)};
  if (wall.month < 1 || wall.month > 12 || wall.day < 1 || wall.day > 31 || wall.hour < 0 ||
      wall.hour > 23 || wall.minute < 0 || wall.minute > 59 || wall.year < 1970)
    return false;
  int offset = 0;
  if (text.size() == 17) {
    if (text[16] != 'Z') return false;
  } else {
    int hours = number(text, 17, 2), minutes = number(text, 20, 2);
    if ((text[16] != '+' && text[16] != '-') || text[19] != ':' || hours < 0 || hours > 18 ||
        minutes < 0 || minutes > 59)
      return false;
    offset = (hours * 3600 + minutes * 60) * (text[16] == '-' ? -1 : 1);
  }
  alert.endsLocal = wall;
  alert.endsAt = daysFromCivil(wall.year, wall.month, wall.day) * 86400 + wall.hour * 3600 +
                 wall.minute * 60 - offset;
  return true;
}

AlertLevel levelOf(std::string_view name) {
  if (name == "Extreme") return AlertLevel::Extreme;
  if (name == "Severe") return AlertLevel::Severe;
  if (name == "Moderate") return AlertLevel::Moderate;
  if (name == "Minor") return AlertLevel::Minor;
  return AlertLevel::Unknown;
}

bool inForce(const PageAlert& alert, int64_t now) { return !alert.endsAt || *alert.endsAt > now; }

}  // namespace

PageAlerts readPageAlerts(std::string_view page) {
  PageAlerts read;
  std::size_t location = findMarker(page, 0, kLocationMarker, 7);
  if (location == kNotFound) return read;
  std::string_view head = page.substr(0, location);
  read.answered = findMarker(head, 0, kAnsweredTag, 13) != kNotFound;
  for (std::size_t at = findMarker(head, 0, kAlertTag, 13);
       at != kNotFound && read.alerts.size() < kMaxPageAlerts;
       at = findMarker(head, at + 1, kAlertTag, 13)) {
    std::string_view tag = head.substr(at);
    tag = tag.substr(0, tag.find('>'));
    PageAlert alert;
    alert.id = unescaped(attribute(tag, "data-id"));
    alert.event = unescaped(attribute(tag, "data-event"));
    alert.headline = unescaped(attribute(tag, "data-headline"));
    alert.severity = levelOf(attribute(tag, "data-severity"));
    std::string_view ends = attribute(tag, "data-ends");
    // An end that cannot be read is no end the program can show or keep to.
    if (alert.id.empty() || alert.event.empty() || (!ends.empty() && !readEnd(ends, alert)))
      continue;
    read.alerts.push_back(std::move(alert));
  }
  // Alerts without the page saying it answered are no alerts to go by.
  if (!read.answered) read.alerts.clear();
  return read;
}

AlertsView alertsView(const std::vector<PageAlert>& alerts, int64_t now, bool on,
                      const BalloonsShown& shown) {
  AlertsView view;
  if (!on) return view;
  for (const PageAlert& alert : alerts) {
    if (!inForce(alert, now)) continue;
    bool severe = alert.severity >= AlertLevel::Severe;
    view.mark = view.mark || severe;
    // The most severe names the line; of equals, the first (the service's
    // order: the one that ends first).
    if (!view.named || alert.severity > view.named->severity) view.named = alert;
    auto before = shown.find(alert.id);
    bool news = before == shown.end() || before->second < alert.severity;
    if (severe && news && (!view.balloon || alert.severity > view.balloon->severity))
      view.balloon = alert;
  }
  return view;
}

std::string balloonsText(const BalloonsShown& shown) {
  std::string text;
  for (const auto& [id, severity] : shown)
    text += std::to_string(static_cast<int>(severity)) + " " + id + "\n";
  return text;
}

BalloonsShown readBalloons(std::string_view text) {
  BalloonsShown shown;
  while (!text.empty() && shown.size() < kMaxBalloonsKept) {
    std::string_view line = text.substr(0, text.find('\n'));
    text.remove_prefix(std::min(text.size(), line.size() + 1));
    if (line.size() < 3 || line[0] < '0' || line[0] > '4' || line[1] != ' ') continue;
    std::string id(line.substr(2, kMaxAlertText));
    blankControlBytes(id);
    shown[id] = static_cast<AlertLevel>(line[0] - '0');
  }
  return shown;
}

std::string alertLine(const PageAlert& alert, std::string_view until) {
  return until.empty() ? alert.event : alert.event + " until " + std::string(until);
}

std::string withAlertLine(std::string_view tip, std::string_view line) {
  constexpr std::size_t capacity = kTipSize - 1;
  constexpr std::string_view ellipsis = "...";
  std::string text = std::string(tip) + "\n";
  if (line.empty() || text.size() + ellipsis.size() >= capacity) return std::string(tip);
  if (text.size() + line.size() <= capacity) return text + std::string(line);
  return text + std::string(line.substr(0, capacity - text.size() - ellipsis.size())) +
         std::string(ellipsis);
}
