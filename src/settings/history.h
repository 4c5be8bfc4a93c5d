#pragma once
// Moves on the three-slot location history held in a Settings record.

#include <string_view>

#include "settings/settings.h"

// Slot 0 takes (url, name); the older slots shift down and slot 2 is dropped.
void pushLocation(Settings& record, std::string_view url, std::string_view name);

// Makes slot 1 or 2 the current location: slot 1 swaps with slot 0; slot 2
// moves to the top and the others shift down. Other slot numbers do nothing.
void promoteSlot(Settings& record, int slot);

// How many recent-location items mirror `record`: the leading run of slots
// with a non-empty name.
int recentItemCount(const Settings& record);
