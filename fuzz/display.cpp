// The paint layout on arbitrary temperature texts, with the default skin's
// picture sizes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "check.h"
#include "common/temperature.h"
#include "skin/display.h"

namespace {

constexpr SkinSizes kDefaultSkin = {{180, 90}, {22, 30}, {8, 12}, {24, 22}, {10, 4}, {4, 2}};

bool inside(const Blit& blit) {
  return blit.x >= 0 && blit.y >= 0 && blit.x + blit.width <= kDefaultSkin.background.width &&
         blit.y + blit.height <= kDefaultSkin.background.height;
}

// The blits of one value: its digits in [digit0, digit0 + 9], read back as
// the value's leading (at most two) digits, and whether a minus came.
void checkValue(const Blit*& blit, const Blit* end, SkinBitmap digit0, SkinBitmap minus,
                std::optional<int32_t> shownValue) {
  if (!shownValue) {
    check(blit == end || blit->bitmap < digit0 || blit->bitmap > digit0 + 9,
          "no digits for a text without a number");
    check(blit == end || blit->bitmap != minus, "no minus for a text without a number");
    return;
  }
  int32_t value = *shownValue;
  std::string digits = std::to_string(std::llabs(int64_t{value}));
  std::string shown;
  // Two digits come right then left; one digit alone.
  for (int i = 0; i < 2 && blit != end && blit->bitmap >= digit0 && blit->bitmap <= digit0 + 9;
       ++i, ++blit) {
    shown.insert(shown.begin(), static_cast<char>('0' + (blit->bitmap - digit0)));
  }
  check(shown == digits.substr(0, 2), "digits shown are the value's leading two");
  bool minusShown = blit != end && blit->bitmap == minus;
  if (minusShown) ++blit;
  check(minusShown == (value < 0), "minus shown exactly for a negative value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool metric = input.ConsumeBool();
  const std::string temperature = input.ConsumeRandomLengthString(64);
  const std::string feelsLike = input.ConsumeRemainingBytesAsString();
  DisplayLayout layout = layoutDisplay(temperature, feelsLike, metric, kDefaultSkin);
  check(layout.count >= 2 && layout.count <= kMaxBlits, "between two and eight copies");
  for (const Blit& blit : layout) {
    check(blit.bitmap < kSkinBitmapCount, "a picture of the skin");
    check(inside(blit), "every copy inside the window");
  }
  const Blit* blit = layout.begin();
  check(blit->bitmap == kBackground && blit->x == 0 && blit->y == 0, "background first");
  ++blit;
  checkValue(blit, layout.end(), kLargeDigit0, kMinus, toDisplayTemperature(temperature, metric));
  checkValue(blit, layout.end(), kSmallDigit0, kSmallMinus,
             toDisplayTemperature(feelsLike, metric));
  check(blit + 1 == layout.end() && blit->bitmap == (metric ? kCelsiusGlyph : kFahrenheitGlyph),
        "the unit glyph last");
  return 0;
}
