#include "weather/fetch.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TextModeRead, TranslatesLikeATextModeRead) {
  using namespace std::string_literals;
  struct Case {
    std::string file, text;
  } cases[] = {
      {"", ""},
      {"a\r\nb\r\n", "a\nb\n"},
      {"a\rb\r", "a\rb\r"},  // a lone CR stays
      {"\r\r\n", "\r\n"},    // only the CR right before LF goes
      {"\n\r", "\n\r"},
      {"ab\x1a"
       "cd\r\n",
       "ab"},  // 0x1A ends the text
      {"\x1a", ""},
      {"a\r\x1a\n", "a\r"},      // the CR before 0x1A is not part of a pair
      {"x\0y\r\n"s, "x\0y\n"s},  // every other byte passes unchanged
      {"\xb0\xff", "\xb0\xff"},
  };
  for (const Case& c : cases) EXPECT_EQ(textModeRead(c.file), c.text);
}

}  // namespace
