#include <gtest/gtest.h>

#include <string>

#include "fold_cases.h"
#include "service/places/text_fold.h"
#include "tools/gazetteer/icu_text.h"

// On the build machine, where ICU is: the expected answers are ICU's own,
// and so is every byte of Windows-1252 in a query that is not UTF-8.
TEST(TextFold, TableAgreesWithIcu) {
  for (const FoldCase& c : kFoldCases) EXPECT_EQ(icuAsciiFromQuery(c.query), c.ascii) << c.query;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    std::string query = "a" + std::string(1, char(byte)) + "b";
    EXPECT_EQ(asciiFromQuery(query), icuAsciiFromQuery(query)) << byte;
  }
}
