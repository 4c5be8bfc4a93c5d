#pragma once
// The alerts of the current location on the tray: held from the report
// pages, added to the tray status, a balloon once per alert.

#include <string>
#include <string_view>

#include "weather/status.h"

// A report page of `link`, the current location, was loaded. A page that
// says which alerts are in force replaces those held; one that says nothing
// (its source did not answer) keeps those held for the same location.
void takePageAlerts(std::string_view page, const std::string& link);

// `status` with the alerts' warning mark and the tooltip's last line, when
// the user's option is on.
void addAlertsToStatus(TrayStatus& status);

// After the status has been shown: the balloon of a severe alert not shown
// before (or only at a lower severity).
void showDueAlertBalloon();
