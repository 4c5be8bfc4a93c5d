#pragma once
// The Search dialog, through which the user chooses a location.

#include <windows.h>

#include "common/window_ids_win.h"

// The open Search dialog, or null.
extern HWND searchDialog;

// Runs the Search dialog modally, owned by `owner`; when one is open already
// it is brought to the front instead.
void openSearchDialog(HWND owner);

// The main window's part of a commit, on the user-interface thread: the
// downloaded page applied (when its location is still the current one) and
// the end of the dialog. The main window slides in after it.
void onCommitDownloaded(HWND window, LPARAM commit);
