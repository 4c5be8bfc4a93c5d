#pragma once
// The tray icon: its record, and what it shows.

#include <windows.h>
#include <shellapi.h>

#include <string_view>

#include "common/window_ids_win.h"
#include "weather/status.h"

// The tray icon record, filled once by addTrayIcon.
extern NOTIFYICONDATAA trayIcon;

void addTrayIcon(HWND window);
void removeTrayIcon();
// After the taskbar was made anew (Explorer restarted): the icon again, with
// the tooltip it had.
void restoreTrayIcon();

// The tooltip and the picture of `status`: its temperature drawn, or the
// program's own icon; any balloon shown is not shown again.
void showTrayStatus(const TrayStatus& status);

// A balloon with the information icon.
void showTrayBalloon(std::string_view title, std::string_view text);
// A balloon with the warning icon, unless the user has asked for quiet.
void showTrayWarning(std::string_view title, std::string_view text);
