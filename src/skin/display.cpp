#include "skin/display.h"

#include <cstdio>
#include <cstring>
#include <optional>

#include "common/temperature.h"

namespace {

// Where a value's pictures go: two digit places, one single-digit place, and
// a minus place for each count of digits.
struct ValuePlaces {
  int32_t digitY;
  int32_t leftX;
  int32_t rightX;
  int32_t singleX;
  int32_t minusY;
  int32_t minusBeforeOneX;
  int32_t minusBeforeTwoX;
};

constexpr ValuePlaces kLargePlaces = {49, 23, 45, 34, 63, 24, 13};
constexpr ValuePlaces kSmallPlaces = {35, 123, 131, 126, 40, 121, 118};

struct ValuePictures {
  SkinBitmap digit0;
  SkinSize digitSize;
  SkinBitmap minus;
  SkinSize minusSize;
};

using DisplayText = char[256];

void add(DisplayLayout& layout, SkinBitmap bitmap, int32_t x, int32_t y, SkinSize size) {
  layout.blits[layout.count++] = Blit{bitmap, x, y, size.width, size.height};
}

void addValue(DisplayLayout& layout, const DisplayText& text, const ValuePlaces& places,
              const ValuePictures& pictures) {
  bool negative = text[0] == '-';
  const char* digits = text + (negative ? 1 : 0);
  auto digit = [&](char c) { return static_cast<SkinBitmap>(pictures.digit0 + (c - '0')); };
  // Only the leading two digits have places; the rest of the text is never read.
  bool twoDigits = std::strlen(digits) >= 2;
  if (twoDigits) {
    add(layout, digit(digits[1]), places.rightX, places.digitY, pictures.digitSize);
    add(layout, digit(digits[0]), places.leftX, places.digitY, pictures.digitSize);
  } else {
    add(layout, digit(digits[0]), places.singleX, places.digitY, pictures.digitSize);
  }
  if (negative) {
    int32_t minusX = twoDigits ? places.minusBeforeTwoX : places.minusBeforeOneX;
    add(layout, pictures.minus, minusX, places.minusY, pictures.minusSize);
  }
}

}  // namespace

DisplayLayout layoutDisplay(std::string_view temperatureText, std::string_view feelsLikeText,
                            bool metric, const SkinSizes& sizes,
                            std::string_view exactTemperatureText,
                            std::string_view exactFeelsLikeText,
                            std::optional<ConditionPicture> condition) {
  std::optional<int32_t> large =
      toDisplayTemperature(temperatureText, metric, exactTemperatureText);
  std::optional<int32_t> small = toDisplayTemperature(feelsLikeText, metric, exactFeelsLikeText);
  DisplayText largeText = {};
  DisplayText smallText = {};
  if (large) std::snprintf(largeText, sizeof largeText, "%d", *large);
  if (small) std::snprintf(smallText, sizeof smallText, "%d", *small);

  DisplayLayout layout = {};
  add(layout, kBackground, 0, 0, sizes.background);
  if (condition) {
    int index = static_cast<int>(*condition);
    SkinSize size = sizes.conditions[index];
    if (size.width > 0 && size.height > 0)
      add(layout, static_cast<SkinBitmap>(kConditionPicture0 + index), 4, 4, size);
  }
  // A value the page did not give is left out: the background shows there.
  if (large)
    addValue(layout, largeText, kLargePlaces,
             {kLargeDigit0, sizes.largeDigit, kMinus, sizes.minus});
  if (small)
    addValue(layout, smallText, kSmallPlaces,
             {kSmallDigit0, sizes.smallDigit, kSmallMinus, sizes.smallMinus});
  // Both glyphs share the Fahrenheit glyph's size.
  add(layout, metric ? kCelsiusGlyph : kFahrenheitGlyph, 82, 57, sizes.unitGlyph);
  return layout;
}
