#include "service/alerts/alerts_page.h"

#include <cstdio>

#include "service/weather/weather_model.h"

namespace {

std::string escaped(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case ' ':
        out += "&#32;";
        break;
      default:
        out += (unsigned char)c < 0x20 ? ' ' : c;
    }
  }
  return out;
}

// "2026-12-07T18:45-06:00", or "...Z" without an offset.
std::string endText(std::int64_t utc, std::optional<int> offsetS) {
  std::string local = formatUtc(utc + offsetS.value_or(0));  // "2026-12-07 18:45 UTC"
  std::string text = local.substr(0, 10) + "T" + local.substr(11, 5);
  if (!offsetS) return text + "Z";
  int minutes = (*offsetS < 0 ? -*offsetS : *offsetS) / 60;
  char zone[16];
  std::snprintf(zone, sizeof zone, "%c%02d:%02d", *offsetS < 0 ? '-' : '+', minutes / 60,
                minutes % 60);
  return text + zone;
}

// "2026-12-07 18:45 local time", or "... UTC".
std::string endForPeople(std::int64_t utc, std::optional<int> offsetS) {
  std::string text = formatUtc(utc + offsetS.value_or(0));
  return offsetS ? text.substr(0, 16) + " local time" : text;
}

}  // namespace

PageExtras alertsMarkup(const AlertsLookup& found, std::optional<int> utcOffsetS) {
  // Nothing asked, or no answer: nothing said, and never "no alerts".
  if (!found.source || !found.answered) return {};
  PageExtras extras;
  extras.head =
      "<meta name=\"skyvane-alerts\" content=\"" + std::to_string(found.alerts.size()) + "\">\n";
  std::string items;
  for (const WeatherAlert& alert : found.alerts) {
    std::optional<int> offset = alert.utcOffsetS ? alert.utcOffsetS : utcOffsetS;
    extras.head += "<meta name=\"skyvane-alert\" data-id=\"" + escaped(alert.id) +
                   "\" data-severity=\"" + severityName(alert.severity) + "\"";
    if (alert.ends) extras.head += " data-ends=\"" + endText(*alert.ends, offset) + "\"";
    extras.head += " data-event=\"" + escaped(alert.event) + "\" data-headline=\"" +
                   escaped(alert.headline) + "\">\n";
    items += "<li class=\"alert\"><strong>" + escaped(alert.event) + "</strong> (" +
             severityName(alert.severity) + ")";
    items += alert.ends ? ", until " + endForPeople(*alert.ends, offset) : ", until further notice";
    if (!alert.headline.empty()) items += "<br>" + escaped(alert.headline);
    items += "</li>\n";
  }
  extras.body = "<section class=\"alerts\">\n<h2>Weather alerts</h2>\n";
  extras.body +=
      found.alerts.empty() ? "<p>No weather alerts in force.</p>\n" : "<ul>\n" + items + "</ul>\n";
  extras.body += "<p class=\"attribution\">" + found.source->credit + "</p>\n</section>\n";
  return extras;
}
