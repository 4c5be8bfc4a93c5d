#pragma once
// The settings file read and written through the platform's profile
// functions.

#include "settings/settings.h"

// Reads the settings file into `settings`; a missing file or key leaves empty
// texts, Fahrenheit and the program's own tray icon. Also takes the service
// address, when the file names an acceptable one.
void loadSettings();
// Writes the seven keys of `record` in their order, creating the Setup folder
// first when it is missing. A failed write is told to the user, once per
// session; returns whether every key was written.
bool saveSettings(const Settings& record);
// Writes the [Tray] option of `record`; a failed write is told as for
// saveSettings.
bool saveTraySettings(const Settings& record);
// Writes the [Tray] alerts option of `record`, and nothing else, likewise.
bool saveTrayAlerts(const Settings& record);
