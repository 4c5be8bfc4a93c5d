#pragma once
// Starts a program in a folder laid out as installed and works it from
// outside: refreshes, searches through its dialog, and pings that time how
// long its user-interface thread takes to answer.

#include <windows.h>

#include <string>

#include "driver.h"

// Makes `folder` afresh: `exe` copied in as `exeName`, the skin folder, an
// empty Temp folder and Setup\Setup.ini holding `settings`.
void layOutWithSettings(const std::string& folder, const std::string& exe,
                        const std::string& exeName, const std::string& skins,
                        const std::string& settings);

// Starts the program with its folder as the working folder, waits for its
// window of `windowClass` and then until it answers at once, as a program
// that has finished starting does; a null window on failure.
driver::Program startSettled(const std::string& exe, const std::string& folder,
                             const char* windowClass, DWORD timeoutMs);
// Closes the main window and waits for the process to end; ends it by force
// when it does not.
void stopProgram(driver::Program& program);

// A refresh period gone by: the tick sent, then a wait for its download to
// end and its page to be handed over. The milliseconds until the download
// ended, or a negative value when it did not end in time.
double refreshOnce(HWND window, DWORD timeoutMs);

// Opens the Search dialog, searches `query`, waits for the list or the
// not-found box (closing the box), then ends the dialog with OK when
// `commit` and there is an entry, else with Cancel. Null when every step
// completed, else what failed.
const char* searchOnce(const driver::Program& program, const std::string& query, bool commit,
                       DWORD timeoutMs);

// Sends WM_NULL every `intervalMs` for `durationMs`; the longest time one
// took to come back, in milliseconds.
double longestPing(HWND window, DWORD durationMs, DWORD intervalMs);

double nowMs();
