#include "settings/history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Names = std::vector<std::string>;

Settings historyOf(const Names& names) {
  Settings record{};
  for (std::size_t slot = 0; slot < names.size(); ++slot) {
    copyText(record.urls[slot], "http://host/" + names[slot]);
    copyText(record.cities[slot], names[slot]);
  }
  return record;
}

Names namesOf(const Settings& record) {
  Names names;
  for (int slot = 0; slot < kHistorySlots; ++slot) {
    names.push_back(std::string(textOf(record.cities[slot])));
    // A slot's link always travels with its name.
    std::string expectedUrl = names.back().empty() ? "" : "http://host/" + names.back();
    EXPECT_EQ(textOf(record.urls[slot]), expectedUrl) << "slot " << slot;
  }
  return names;
}

TEST(History, Moves) {
  struct Case {
    const char* what;
    Names before;
    int promote;  // 0: push "S" instead
    Names after;
  } cases[] = {
      {"push onto full history drops slot 2", {"P", "Q", "R"}, 0, {"S", "P", "Q"}},
      {"push the same place twice", {"P", "S", "R"}, 0, {"S", "P", "S"}},
      {"push onto empty history", {}, 0, {"S", "", ""}},
      {"promote slot 1 swaps", {"P", "Q", "R"}, 1, {"Q", "P", "R"}},
      {"promote slot 2 rotates", {"P", "Q", "R"}, 2, {"R", "P", "Q"}},
      {"promote empty slot moves empty strings", {"P"}, 1, {"", "P", ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Settings record = historyOf(c.before);
    if (c.promote == 0) {
      pushLocation(record, "http://host/S", "S");
    } else {
      promoteSlot(record, c.promote);
    }
    EXPECT_EQ(namesOf(record), c.after);
  }
}

TEST(History, TextsStayAsTheyAre) {
  Settings record = historyOf({"P"});
  std::string percent = "100% %s %n Town";
  pushLocation(record, "http://host/" + percent, percent);
  EXPECT_EQ(textOf(record.cities[0]), percent);

  std::string longName(300, 'n');
  pushLocation(record, "http://host/x", longName);
  EXPECT_EQ(textOf(record.cities[0]), longName.substr(0, 255));
  EXPECT_EQ(textOf(record.cities[1]), percent);
}

TEST(History, PushFromItsOwnSlot) {
  Settings record = historyOf({"P", "Q", "R"});
  pushLocation(record, record.urls[1], record.cities[1]);
  EXPECT_EQ(namesOf(record), (Names{"Q", "P", "Q"}));
}

TEST(History, RecentItemCountStopsAtTheFirstEmptyName) {
  EXPECT_EQ(recentItemCount(historyOf({})), 0);
  EXPECT_EQ(recentItemCount(historyOf({"P", "Q", "R"})), 3);
  Settings gap = historyOf({"P", "Q", "R"});
  gap.cities[1][0] = '\0';  // link filled, name empty
  EXPECT_EQ(recentItemCount(gap), 1);
}

}  // namespace
