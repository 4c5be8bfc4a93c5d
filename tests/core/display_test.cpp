#include "skin/display.h"

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <string>
#include <vector>

void PrintTo(const Blit& blit, std::ostream* out) {
  *out << "{" << int{blit.bitmap} << " at " << blit.x << "," << blit.y << " " << blit.width << "x"
       << blit.height << "}";
}

namespace {

// Every size distinct, so a copy made at the wrong kind's size shows.
constexpr SkinSizes kSizes = {
    {180, 90}, {22, 30}, {8, 12}, {21, 19}, {10, 4}, {4, 2},
};

Blit large(int digit, int32_t x) {
  return {static_cast<SkinBitmap>(kLargeDigit0 + digit), x, 49, 22, 30};
}
Blit small(int digit, int32_t x) {
  return {static_cast<SkinBitmap>(kSmallDigit0 + digit), x, 35, 8, 12};
}
Blit minus(int32_t x) { return {kMinus, x, 63, 10, 4}; }
Blit smallMinus(int32_t x) { return {kSmallMinus, x, 40, 4, 2}; }
Blit unsized(Blit blit) {
  blit.width = blit.height = 0;
  return blit;
}
const Blit kBack = {kBackground, 0, 0, 180, 90};
const Blit kFahrenheit = {kFahrenheitGlyph, 82, 57, 21, 19};
const Blit kCelsius = {kCelsiusGlyph, 82, 57, 21, 19};

struct Case {
  const char* name;
  std::string temperature;
  std::string feelsLike;
  bool metric;
  std::vector<Blit> expected;
};

class Layout : public testing::TestWithParam<Case> {};

TEST_P(Layout, GivesTheCopiesInOrder) {
  const Case& c = GetParam();
  DisplayLayout layout = layoutDisplay(c.temperature, c.feelsLike, c.metric, kSizes);
  ASSERT_LE(layout.count, kMaxBlits);
  EXPECT_EQ(std::vector<Blit>(layout.begin(), layout.end()), c.expected);
}

// clang-format off
// The large value's rows, with a fixed feels-like value of 5.
INSTANTIATE_TEST_SUITE_P(LargeValue, Layout, testing::Values(
    Case{"TwoDigits", "72", "5", false, {kBack, large(2, 45), large(7, 23), small(5, 126), kFahrenheit}},
    Case{"Ten", "10", "5", false, {kBack, large(0, 45), large(1, 23), small(5, 126), kFahrenheit}},
    Case{"Nine", "9", "5", false, {kBack, large(9, 34), small(5, 126), kFahrenheit}},
    Case{"Zero", "0", "5", false, {kBack, large(0, 34), small(5, 126), kFahrenheit}},
    Case{"MinusOne", "-1", "5", false, {kBack, large(1, 34), minus(24), small(5, 126), kFahrenheit}},
    Case{"MinusFive", "-5", "5", false, {kBack, large(5, 34), minus(24), small(5, 126), kFahrenheit}},
    Case{"MinusTen", "-10", "5", false, {kBack, large(0, 45), large(1, 23), minus(13), small(5, 126), kFahrenheit}},
    Case{"MinusTwelve", "-12", "5", false, {kBack, large(2, 45), large(1, 23), minus(13), small(5, 126), kFahrenheit}},
    Case{"ThreeDigitsShowLeadingTwo", "104", "5", false, {kBack, large(0, 45), large(1, 23), small(5, 126), kFahrenheit}},
    Case{"NegativeThreeDigits", "-104", "5", false, {kBack, large(0, 45), large(1, 23), minus(13), small(5, 126), kFahrenheit}},
    Case{"Largest", "2147483647", "5", false, {kBack, large(1, 45), large(2, 23), small(5, 126), kFahrenheit}},
    Case{"Smallest", "-2147483648", "5", false, {kBack, large(1, 45), large(2, 23), minus(13), small(5, 126), kFahrenheit}}),
    [](const auto& info) { return info.param.name; });

// The small value's rows, with a fixed temperature of 5.
INSTANTIATE_TEST_SUITE_P(SmallValue, Layout, testing::Values(
    Case{"TwoDigits", "5", "68", false, {kBack, large(5, 34), small(8, 131), small(6, 123), kFahrenheit}},
    Case{"OneDigit", "5", "7", false, {kBack, large(5, 34), small(7, 126), kFahrenheit}},
    Case{"MinusThree", "5", "-3", false, {kBack, large(5, 34), small(3, 126), smallMinus(121), kFahrenheit}},
    Case{"MinusFifteen", "5", "-15", false, {kBack, large(5, 34), small(5, 131), small(1, 123), smallMinus(118), kFahrenheit}},
    Case{"ThreeDigits", "5", "123", false, {kBack, large(5, 34), small(2, 131), small(1, 123), kFahrenheit}},
    Case{"NegativeThreeDigits", "5", "-987", false, {kBack, large(5, 34), small(8, 131), small(9, 123), smallMinus(118), kFahrenheit}}),
    [](const auto& info) { return info.param.name; });

// Texts read as the service gives them, and the unit.
INSTANTIATE_TEST_SUITE_P(Texts, Layout, testing::Values(
    Case{"Fahrenheit", "72", "68", false, {kBack, large(2, 45), large(7, 23), small(8, 131), small(6, 123), kFahrenheit}},
    // No number, no digits: the background shows, the unit glyph stays.
    Case{"EmptyFahrenheit", "", "", false, {kBack, kFahrenheit}},
    Case{"NotANumber", "N/A", "--", false, {kBack, kFahrenheit}},
    Case{"OnlyFeelsLike", "", "-3", true, {kBack, small(9, 131), small(1, 123), smallMinus(118), kCelsius}},
    Case{"SignAndBlanks", "  +7", "7a", false, {kBack, large(7, 34), small(7, 126), kFahrenheit}},
    Case{"EmptyCelsius", "", "", true, {kBack, kCelsius}},
    // Eight copies, the most a paint makes.
    Case{"EightCopies", "0", "-12", true, {kBack, large(8, 45), large(1, 23), minus(13), small(4, 131), small(2, 123), smallMinus(118), kCelsius}},
    // Rounded to the nearest degree: -0.6 is -1, 37.8 is 38.
    Case{"CelsiusRounded", "31", "50", true, {kBack, large(1, 34), minus(24), small(0, 131), small(1, 123), kCelsius}},
    Case{"CelsiusThirtyEight", "100", "-40", true, {kBack, large(8, 45), large(3, 23), small(0, 131), small(4, 123), smallMinus(118), kCelsius}},
    Case{"CelsiusNegative", "30", "-4", true, {kBack, large(1, 34), minus(24), small(0, 131), small(2, 123), smallMinus(118), kCelsius}}),
    [](const auto& info) { return info.param.name; });
// clang-format on

TEST(LayoutSizes, EveryCopyTakesItsKindsMeasuredSize) {
  // A missing measured picture leaves its kind's size zero: those copies
  // still appear in the list but draw nothing.
  SkinSizes sizes = kSizes;
  sizes.largeDigit = {0, 0};
  sizes.unitGlyph = {0, 0};
  DisplayLayout layout = layoutDisplay("-12", "-3", true, sizes);
  std::vector<Blit> expected = {
      kBack,
      unsized(large(4, 45)),  // -12 F is -24 C
      unsized(large(2, 23)),
      minus(13),
      small(9, 131),  // -3 F is -19 C
      small(1, 123),
      smallMinus(118),
      unsized(kCelsius),
  };
  EXPECT_EQ(std::vector<Blit>(layout.begin(), layout.end()), expected);
}

// The condition's picture goes right after the background, at (4, 4) and its
// own size, only when the skin loaded it; the rest of the paint is as ever.
TEST(LayoutCondition, PictureAfterTheBackgroundWhenTheSkinHasIt) {
  SkinSizes sizes = kSizes;
  sizes.conditions[static_cast<int>(ConditionPicture::Rain)] = {40, 34};
  sizes.conditions[static_cast<int>(ConditionPicture::ClearNight)] = {30, 20};
  const Blit rain = {static_cast<SkinBitmap>(kConditionPicture0 + 7), 4, 4, 40, 34};
  const Blit night = {static_cast<SkinBitmap>(kConditionPicture0 + 1), 4, 4, 30, 20};
  struct Case {
    const char* name;
    std::optional<ConditionPicture> condition;
    std::vector<Blit> expected;
  } cases[] = {
      {"none given", std::nullopt, {kBack, large(5, 34), small(7, 126), kFahrenheit}},
      {"rain", ConditionPicture::Rain, {kBack, rain, large(5, 34), small(7, 126), kFahrenheit}},
      {"its own size",
       ConditionPicture::ClearNight,
       {kBack, night, large(5, 34), small(7, 126), kFahrenheit}},
      {"not in the skin",
       ConditionPicture::Snow,
       {kBack, large(5, 34), small(7, 126), kFahrenheit}},
  };
  for (const Case& c : cases) {
    DisplayLayout layout = layoutDisplay("5", "7", false, sizes, {}, {}, c.condition);
    EXPECT_EQ(std::vector<Blit>(layout.begin(), layout.end()), c.expected) << c.name;
  }
  // The most copies a paint makes: all of them fit.
  DisplayLayout most = layoutDisplay("-12", "-12", false, sizes, {}, {}, ConditionPicture::Rain);
  EXPECT_EQ(most.count, kMaxBlits);
}

}  // namespace
