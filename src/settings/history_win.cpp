#include <windows.h>

#include "common/program_win.h"
#include "resource.h"
#include "settings/history_win.h"

namespace {

// The fixed item the recent-location items are inserted before: the
// separator below the grayed header.
constexpr UINT kRecentItemsPosition = 4;

// What the last insertRecentItems put into the menu, so that removal never
// takes a fixed item even when the history changed meanwhile.
int insertedItemCount = 0;

}  // namespace

void insertRecentItems() {
  int count = recentItemCount(settings);
  for (int slot = 0; slot < count; ++slot) {
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING;
    item.fType = MFT_STRING;
    item.wID = IDM_RECENT_BASE + slot;
    // The name is handed over as data: the menu shows it as it stands.
    item.dwTypeData = settings.cities[slot];
    item.cch = static_cast<UINT>(textOf(settings.cities[slot]).size());
    InsertMenuItemA(trayMenu, kRecentItemsPosition, TRUE, &item);
    if (slot == 0) CheckMenuItem(trayMenu, IDM_RECENT_BASE, MF_BYCOMMAND | MF_CHECKED);
  }
  insertedItemCount = count;
}

void removeRecentItems() {
  for (; insertedItemCount > 0; --insertedItemCount) {
    DeleteMenu(trayMenu, kRecentItemsPosition, MF_BYPOSITION);
  }
}
