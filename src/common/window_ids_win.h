#pragma once
// The widget's own window messages, timers and tray icon id, in one place:
// the program posts them to itself and the driver sends the same ones from
// outside, so one number must never mean two things.

#include <windows.h>

// What the tray icon sends the main window.
inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;
inline constexpr UINT TRAY_ICON_ID = 4096;

// A slide-in asked for from another thread, carried out on the window's own
// thread so nothing races on the slide's state.
inline constexpr UINT WM_SLIDE_IN_REQUEST = WM_APP + 1;
// A commit's worker downloaded the new location's report page (or failed to).
inline constexpr UINT WM_COMMIT_DOWNLOADED = WM_APP + 2;
// A refresh's worker downloaded the report page (or failed to).
inline constexpr UINT WM_REPORT_DOWNLOADED = WM_APP + 3;
// The Search dialog's worker: the search began, its page was scanned, or it
// failed.
inline constexpr UINT WM_SEARCH_STARTED = WM_APP + 10;
inline constexpr UINT WM_SEARCH_SCANNED = WM_APP + 11;
inline constexpr UINT WM_SEARCH_FAILED = WM_APP + 12;

// Drives a slide, every kSlidePeriodMs while one runs.
inline constexpr UINT_PTR TIMER_SLIDE = 1;
inline constexpr UINT kSlidePeriodMs = 10;
// The refresh period, and the retry after a failed download.
inline constexpr UINT_PTR TIMER_REFRESH = 2;
// Fires once, when the reading in force turns old; never downloads.
inline constexpr UINT_PTR TIMER_READING_AGE = 3;
