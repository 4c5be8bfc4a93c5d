// What the tray shows of a report page's alerts, and when a balloon is due.

#include "weather/alerts.h"

#include <gtest/gtest.h>

#include "weather/status.h"

namespace {

constexpr int64_t kNow = 1'796'670'000;

std::string page(const std::string& head) {
  return "<html><head>" + head +
         "</head><body><h1 id=\"currentWeather\">Austin, TX</h1>"
         "<meta name=\"skyvane-alert\" data-id=\"late\" data-severity=\"Extreme\" "
         "data-event=\"Not&#32;in&#32;the&#32;head\"></body></html>";
}

std::string tag(const std::string& id, const std::string& severity, const std::string& ends) {
  return "<meta name=\"skyvane-alert\" data-id=\"" + id + "\" data-severity=\"" + severity + "\"" +
         (ends.empty() ? "" : " data-ends=\"" + ends + "\"") +
         " data-event=\"Tornado&#32;Warning\" "
         "data-headline=\"Take&#32;cover&#32;&quot;now&quot;\">";
}

TEST(Alerts, ReadFromThePageHeadOnly) {
  std::string answered = "<meta name=\"skyvane-alerts\" content=\"2\">";
  PageAlerts read =
      readPageAlerts(page(answered + tag("a", "Severe", "2026-12-07T14:00-06:00") +
                          tag("b", "Minor", "") + tag("c", "Severe", "2026-13-07T14:40Z")));
  EXPECT_TRUE(read.answered);
  ASSERT_EQ(read.alerts.size(), 2u);  // "c" has an end no one can read; "late" is no head's
  EXPECT_EQ(read.alerts[0].event, "Tornado Warning");
  EXPECT_EQ(read.alerts[0].headline, "Take cover \"now\"");
  EXPECT_EQ(read.alerts[0].endsAt, kNow + 3600);
  EXPECT_EQ(read.alerts[0].endsLocal.hour, 14);
  EXPECT_FALSE(read.alerts[1].endsAt);
  // Without the page saying its source answered, nothing is in force.
  EXPECT_FALSE(readPageAlerts(page(tag("a", "Severe", ""))).answered);
  EXPECT_TRUE(readPageAlerts(page(tag("a", "Severe", ""))).alerts.empty());
}

PageAlert alert(const char* id, AlertLevel severity, int64_t endsIn) {
  PageAlert made;
  made.id = id;
  made.event = std::string(id) + " event";
  made.severity = severity;
  made.endsAt = kNow + endsIn;
  return made;
}

TEST(Alerts, MarkLineAndBalloonOncePerAlert) {
  const PageAlert tornado = alert("tornado", AlertLevel::Severe, 3600);
  const PageAlert advisory = alert("advisory", AlertLevel::Moderate, 3600);
  struct Case {
    const char* name;
    std::vector<PageAlert> alerts;
    bool on;
    BalloonsShown shown;
    bool mark;
    const char* named;    // "" for none
    const char* balloon;  // "" for none
  };
  const Case cases[] = {
      {"new", {tornado}, true, {}, true, "tornado", "tornado"},
      {"shown before", {tornado}, true, {{"tornado", AlertLevel::Severe}}, true, "tornado", ""},
      {"severity rose",
       {alert("tornado", AlertLevel::Extreme, 3600)},
       true,
       {{"tornado", AlertLevel::Severe}},
       true,
       "tornado",
       "tornado"},
      {"severity fell",
       {alert("tornado", AlertLevel::Moderate, 3600)},
       true,
       {{"tornado", AlertLevel::Severe}},
       false,
       "tornado",
       ""},
      {"ended", {alert("tornado", AlertLevel::Severe, -1)}, true, {}, false, "", ""},
      {"turned off", {tornado}, false, {}, false, "", ""},
      {"advisory: the tooltip only", {advisory}, true, {}, false, "advisory", ""},
      {"the most severe named", {advisory, tornado}, true, {}, true, "tornado", "tornado"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AlertsView view = alertsView(c.alerts, kNow, c.on, c.shown);
    EXPECT_EQ(view.mark, c.mark);
    EXPECT_EQ(view.named ? view.named->id : "", c.named);
    EXPECT_EQ(view.balloon ? view.balloon->id : "", c.balloon);
  }
}

TEST(Alerts, BalloonsShownAreKeptAcrossStarts) {
  BalloonsShown shown = {{"urn:a b", AlertLevel::Severe}, {"c", AlertLevel::Extreme}};
  EXPECT_EQ(readBalloons(balloonsText(shown)), shown);
  // Lines of another form are passed over, not guessed at.
  EXPECT_EQ(readBalloons("9 x\n3\n\n3 c\r\nno\n").size(), 1u);
}

TEST(Alerts, TheLineFitsTheTipAndKeepsTheTipAsComposed) {
  PageAlert tornado = alert("tornado", AlertLevel::Severe, 3600);
  tornado.event = "Tornado Warning";
  EXPECT_EQ(withAlertLine("Austin, TX 72\xB0"
                          "F",
                          alertLine(tornado, "6:45 PM")),
            "Austin, TX 72\xB0"
            "F\nTornado Warning until 6:45 PM");
  std::string longTip(100, 'n');
  std::string fitted = withAlertLine(longTip, std::string(80, 'e'));
  EXPECT_EQ(fitted.size(), kTipSize - 1);
  EXPECT_EQ(fitted.substr(0, 101), longTip + "\n");
  EXPECT_EQ(fitted.substr(fitted.size() - 3), "...");
  EXPECT_EQ(withAlertLine(std::string(kTipSize - 1, 'n'), "Tornado"),
            std::string(kTipSize - 1, 'n'));
}

}  // namespace
