#include <gtest/gtest.h>

#include "fold_cases.h"
#include "service/places/text_fold.h"

// The service's table gives ICU's answers, natively and on Windows alike.
TEST(TextFold, QueriesFoldAsIcuDoes) {
  for (const FoldCase& c : kFoldCases) EXPECT_EQ(asciiFromQuery(c.query), c.ascii) << c.query;
}
