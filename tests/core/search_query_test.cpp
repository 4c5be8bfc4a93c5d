#include "search/search_query.h"

#include <gtest/gtest.h>

#include <string>

#include "common/service_url.h"

namespace {

TEST(SearchQuery, Forms) {
  struct Case {
    std::string query, plus, underscore;
  } cases[] = {
      {"  New   York  ", "New+York", "New_York"},
      {"", "", ""},
      {"    ", "", ""},
      {"Oslo", "Oslo", "Oslo"},
      {" a b  c ", "a+b+c", "a_b_c"},
      {"A+B & C\tD", "A+B+&+C\tD", "A+B_&_C\tD"},  // only byte 32 separates
      {std::string("x\0y z", 5), std::string("x\0y+z", 5), std::string("x\0y_z", 5)},
  };
  for (const Case& c : cases) {
    NormalisedQuery forms = normaliseQuery(c.query);
    EXPECT_EQ(forms.plusForm, c.plus) << '"' << c.query << '"';
    EXPECT_EQ(forms.underscoreForm, c.underscore) << '"' << c.query << '"';
  }
}

TEST(SearchQuery, LinksEscapeWhatWouldBreakThem) {
  struct Case {
    std::string query, request, direct;
  } cases[] = {
      {"  New   York  ", "/?location=New+York", "/New_York"},
      {"   ", "/?location=", "/"},
      {"C++ 10001", "/?location=C+++10001", "/C++_10001"},
      {"a&b=c #1 100% <x>", "/?location=a%26b=c+%231+100%25+%3Cx%3E",
       "/a%26b=c_%231_100%25_%3Cx%3E"},
      {"\"\\^`{|}", "/?location=%22%5C%5E%60%7B%7C%7D", "/%22%5C%5E%60%7B%7C%7D"},
      {"tab\there\x7F", "/?location=tab%09here%7F", "/tab%09here%7F"},
      {"Z\xFCrich", "/?location=Z%FCrich", "/Z%FCrich"},
      {"Z\xC3\xBCrich S\xC3\xA3o", "/?location=Z%C3%BCrich+S%C3%A3o", "/Z%C3%BCrich_S%C3%A3o"},
      {"where? a/b", "/?location=where?+a/b", "/where%3F_a/b"},
  };
  for (const Case& c : cases) {
    NormalisedQuery forms = normaliseQuery(c.query);
    EXPECT_EQ(searchRequestUrl("http://h:1", forms), "http://h:1" + c.request) << c.query;
    EXPECT_EQ(directHitLink(forms.underscoreForm), c.direct) << c.query;
  }
  EXPECT_EQ(searchRequestUrl(kServiceBaseUrl, normaliseQuery("x")),
            std::string(kServiceBaseUrl) + "/?location=x");
}

TEST(SearchQuery, LongQueries) {
  // The request link grows with the query; the direct-hit link stops at 255
  // characters without splitting an escape.
  NormalisedQuery forms = normaliseQuery(std::string(255, '\xE9'));
  EXPECT_EQ(searchRequestUrl("b", forms).size(), 1 + 11 + 3 * 255u);
  std::string link = directHitLink(forms.underscoreForm);
  EXPECT_EQ(link.size(), 253u);  // "/" and 84 whole escapes
  EXPECT_EQ(link.substr(link.size() - 3), "%E9");
  EXPECT_EQ(directHitLink(std::string(300, 'a')), "/" + std::string(254, 'a'));
}

}  // namespace
