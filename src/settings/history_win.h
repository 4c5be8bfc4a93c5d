#pragma once
// The tray menu items that mirror the location history.

#include "settings/history.h"

// The tray menu items, on the user-interface thread. insertRecentItems
// mirrors the global settings; removeRecentItems takes out exactly the items
// that the last insertion put in.
void insertRecentItems();
void removeRecentItems();
