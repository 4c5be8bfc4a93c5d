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

}  // namespace
