#pragma once
// The tray icon and the refresh of the shown weather.

#include <windows.h>
#include <shellapi.h>

#include <optional>
#include <string>

inline constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;
inline constexpr UINT TRAY_ICON_ID = 4096;
inline constexpr UINT_PTR TIMER_REFRESH = 2;
inline constexpr UINT kRefreshPeriodMs = 300000;

// The tray icon record, filled once by addTrayIcon.
extern NOTIFYICONDATAA trayIcon;

void addTrayIcon(HWND window);
void removeTrayIcon();

// statusOnly false: fetch and scan the current location's report page, arm
// the refresh timer, rewrite the tooltip and repaint; on a first run show the
// welcome balloon instead. statusOnly true: only the tooltip and the repaint,
// in the current unit.
void refreshWeather(HWND window, bool statusOnly);

// What follows a report download that ran elsewhere, on the user-interface
// thread: the unit check marks, then for a loaded page the scan, the timer
// and the status.
void applyReport(HWND window, const std::optional<std::string>& page);
