#pragma once
// The window's picture as an ordered list of opaque bitmap copies, computed
// from the two temperature texts, the unit and the sizes of the skin's
// pictures. Knows no window system: the shell carries the list out.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/weather_code.h"

// The 25 pictures of a skin and its optional condition pictures, by index.
enum SkinBitmap : uint8_t {
  kBackground = 0,
  kLargeDigit0 = 1,   // large digit d is kLargeDigit0 + d
  kSmallDigit0 = 11,  // small digit d is kSmallDigit0 + d
  kFahrenheitGlyph = 21,
  kCelsiusGlyph = 22,
  kMinus = 23,
  kSmallMinus = 24,
  kConditionPicture0 = 25,  // condition picture p is kConditionPicture0 + p
  kSkinBitmapCount = kConditionPicture0 + kConditionPictureCount,
};

struct SkinSize {
  int32_t width;
  int32_t height;
  bool operator==(const SkinSize&) const = default;
};

// One size per kind of picture: a digit set is drawn at the size of its
// digit 0, both unit glyphs at the size of the Fahrenheit glyph.
struct SkinSizes {
  SkinSize background;
  SkinSize largeDigit;
  SkinSize smallDigit;
  SkinSize unitGlyph;
  SkinSize minus;
  SkinSize smallMinus;
  // Each condition picture at its own size; zero when it did not load.
  std::array<SkinSize, kConditionPictureCount> conditions = {};
};

// One copy of a picture's top-left `width` by `height` pixels to (x, y).
struct Blit {
  SkinBitmap bitmap;
  int32_t x;
  int32_t y;
  int32_t width;
  int32_t height;
  bool operator==(const Blit&) const = default;
};

// Background, condition picture, two large digits and a minus, two small
// digits and a minus, the unit glyph.
inline constexpr int kMaxBlits = 9;

struct DisplayLayout {
  std::array<Blit, kMaxBlits> blits;
  int count;

  const Blit* begin() const { return blits.data(); }
  const Blit* end() const { return blits.data() + count; }
};

// The copies of one paint, in the order they are made: the background, the
// condition's picture at (4, 4) when one is given and the skin has it, the
// large value, the small value, the unit glyph. Values of three or more
// digits show their leading two; a text without a number shows nothing. The
// exact texts are the page's readings to a tenth, from which the whole
// degrees are rounded when given (see toDisplayTemperature). Fixed storage
// only, so a paint allocates nothing.
DisplayLayout layoutDisplay(std::string_view temperatureText, std::string_view feelsLikeText,
                            bool metric, const SkinSizes& sizes,
                            std::string_view exactTemperatureText = {},
                            std::string_view exactFeelsLikeText = {},
                            std::optional<ConditionPicture> condition = std::nullopt);
