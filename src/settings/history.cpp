#include "settings/history.h"

namespace {

struct Slot {
  TextBuffer url;
  TextBuffer city;
};

Slot slotOf(const Settings& record, int n) {
  Slot slot;
  copyText(slot.url, textOf(record.urls[n]));
  copyText(slot.city, textOf(record.cities[n]));
  return slot;
}

void storeSlot(Settings& record, int n, const Slot& slot) {
  copyText(record.urls[n], textOf(slot.url));
  copyText(record.cities[n], textOf(slot.city));
}

}  // namespace

void pushLocation(Settings& record, std::string_view url, std::string_view name) {
  // The new texts may point into the record itself, so they are copied
  // aside before any slot is overwritten.
  Slot fresh;
  copyText(fresh.url, url);
  copyText(fresh.city, name);
  Slot first = slotOf(record, 0), second = slotOf(record, 1);
  storeSlot(record, 2, second);
  storeSlot(record, 1, first);
  storeSlot(record, 0, fresh);
}

void promoteSlot(Settings& record, int slot) {
  if (slot != 1 && slot != 2) return;
  Slot old[kHistorySlots] = {slotOf(record, 0), slotOf(record, 1), slotOf(record, 2)};
  if (slot == 1) {
    storeSlot(record, 0, old[1]);
    storeSlot(record, 1, old[0]);
  } else {
    storeSlot(record, 0, old[2]);
    storeSlot(record, 1, old[0]);
    storeSlot(record, 2, old[1]);
  }
}

int recentItemCount(const Settings& record) {
  int count = 0;
  while (count < kHistorySlots && record.cities[count][0] != '\0') ++count;
  return count;
}
