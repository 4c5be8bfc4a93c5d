#pragma once
// The refresh of the shown weather.

#include <windows.h>

#include <optional>
#include <string>

#include "common/window_ids_win.h"
#include "weather/fetch.h"
#include "weather/refresh_schedule.h"

// statusOnly false: downloads the current location's report page on a worker
// (on a first run shows the welcome balloon instead); the page is applied
// when it arrives. One such download runs at a time: a request meanwhile runs
// after it. statusOnly true: only the tooltip and the repaint, in the current
// unit.
void refreshWeather(HWND window, bool statusOnly);

// WM_REPORT_DOWNLOADED: applies the page, then runs a request that came
// while it downloaded.
void onReportDownloaded(HWND window, LPARAM job);

// True while a refresh download runs.
bool refreshRunning();

// A download of `link`'s report page ended, with `page` or without one, on
// the user-interface thread: the unit check marks; then, only when `link` is
// still the current location's, the timer (the period after a page, a retry
// after a failure) and for a page the scan and the status.
// `failure` says why there is no page, for the tooltip of a place that has no
// reading yet.
void applyReport(HWND window, const std::string& link, const std::optional<std::string>& page,
                 DownloadFailure failure = DownloadFailure::Other);

// The current place has just changed (a search's OK): the previous place's
// numbers leave the window and the tooltip at once, which then say that the
// new place's weather is on its way, until its first reading arrives.
void showCurrentPlace(HWND window);

// TIMER_READING_AGE, and a change of the system's clock: the tooltip and the
// icon again when the reading in force has turned old meanwhile.
void onReadingAgeCheck(HWND window);

// The tray icon's option changed: the icon again for the reading in force;
// before the first reading the program's own icon stays.
void onTrayOptionChanged(HWND window);

// WM_POWERBROADCAST: after a resume the weather is hours old; the reading in
// force is marked old at once when it is, and a refresh comes within seconds,
// the retry rule covering a network still coming up.
void onPowerBroadcast(HWND window, WPARAM event);
