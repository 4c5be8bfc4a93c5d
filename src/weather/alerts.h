#pragma once
// Severe-weather alerts as a report page carries them in its head (see the
// service's alerts_page.h), and what the tray shows of them: the warning
// mark, the tooltip's last line and the balloon, once per alert.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class AlertLevel { Unknown, Minor, Moderate, Severe, Extreme };

// When an alert ends, as the place's clock reads.
struct WallTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0;
};

struct PageAlert {
  std::string id, event, headline;  // as given, with the page's escapes undone
  AlertLevel severity = AlertLevel::Unknown;
  std::optional<int64_t> endsAt;  // seconds since 1970 UTC; nothing: until further notice
  WallTime endsLocal;
};

struct PageAlerts {
  bool answered = false;  // the page says what is in force; else it says nothing
  std::vector<PageAlert> alerts;
};

// At most this many alerts are read from a page, and texts are cut to this.
inline constexpr std::size_t kMaxPageAlerts = 20;
inline constexpr std::size_t kMaxAlertText = 255;

// The alerts in the page's head, before its location marker, so nothing in
// the report itself can pass for one. Texts never hold control bytes.
PageAlerts readPageAlerts(std::string_view page);

// What the tray shows of the alerts in force: the mark and the balloon for
// Severe and Extreme ones, the tooltip's line for any.
struct AlertsView {
  bool mark = false;
  std::optional<PageAlert> named;    // the alert the tooltip names
  std::optional<PageAlert> balloon;  // due now
};

// The severity each alert's balloon was shown at, by id.
using BalloonsShown = std::map<std::string, AlertLevel>;

// The record of shown balloons kept across starts, one "<severity> <id>"
// a line; at most kMaxBalloonsKept are read.
inline constexpr std::size_t kMaxBalloonsKept = 200;
std::string balloonsText(const BalloonsShown& shown);
BalloonsShown readBalloons(std::string_view text);

// `on`: the user's option. An alert's balloon is due when it is Severe or
// Extreme and has not been shown, or only at a lower severity.
AlertsView alertsView(const std::vector<PageAlert>& alerts, int64_t now, bool on,
                      const BalloonsShown& shown);

// "Tornado Warning until 6:45 PM", `until` being the end as the user reads
// a time; the event alone without one.
std::string alertLine(const PageAlert& alert, std::string_view until);

// `tip` with `line` below it, within the tip field: the line is cut with
// "..." when both do not fit, the tip as composed is kept.
std::string withAlertLine(std::string_view tip, std::string_view line);
