#include "weather/tray_icon.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// At the small-icon sizes of common display scales, every digit stays whole
// inside its outline (nothing reaches the icon's edge) and tells itself apart
// from the others, whether it stands alone or third in a row.
TEST(TrayIcon, DigitsStayWholeAndDistinctAtEverySize) {
  for (int size : {16, 20, 24, 32, 48}) {
    for (std::string lead : {"", "-", "-1"}) {
      std::set<std::vector<uint32_t>> seen;
      for (char digit = '0'; digit <= '9'; ++digit) {
        std::string text = lead + digit;
        std::vector<uint32_t> pixels = trayIconPixels(text, size, false);
        ASSERT_EQ(pixels.size(), static_cast<std::size_t>(size * size));
        for (int i = 0; i < size; ++i) {
          for (int edge : {i, (size - 1) * size + i, i * size, i * size + size - 1}) {
            EXPECT_NE(pixels[edge], kIconDigit) << text << " at " << size;
          }
        }
        seen.insert(pixels);
      }
      EXPECT_EQ(seen.size(), 10u) << "'" << lead << "' at " << size;
    }
  }
  EXPECT_NE(trayIconPixels("72", 16, true), trayIconPixels("72", 16, false));
}

// Every temperature the icon shows, -99 to 999 (either unit), at the common
// small-icon sizes: each character is one block of ink apart from the next,
// and a 1 stands two clear columns from its neighbours, so it never joins the
// next digit into another shape ("-12" read as "-P").
TEST(TrayIcon, EveryTemperatureReadsCharacterByCharacter) {
  for (int size : {16, 20, 24, 32}) {
    for (int value = -99; value <= 999; ++value) {
      std::string text = std::to_string(value);
      std::vector<uint32_t> pixels = trayIconPixels(text, size, false);
      std::vector<int> clearRun;  // clear columns before each block of ink
      int clear = 0;
      bool inInk = false;
      for (int x = 0; x < size; ++x) {
        bool ink = false;
        for (int y = 0; y < size; ++y) ink = ink || pixels[y * size + x] == kIconDigit;
        if (ink && !inInk) clearRun.push_back(clear);
        clear = ink ? 0 : clear + 1;
        inInk = ink;
      }
      ASSERT_EQ(clearRun.size(), text.size()) << text << " at " << size;
      for (std::size_t i = 1; i < text.size(); ++i) {
        int least = text[i - 1] == '1' || text[i] == '1' ? 2 : 1;
        EXPECT_GE(clearRun[i], least) << text << " at " << size;
      }
    }
  }
}

}  // namespace
