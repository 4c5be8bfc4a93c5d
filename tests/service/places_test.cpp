#include "service/places/query_text.h"
#include "service/places/sample_places.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

TEST(Places, ShippedData) {
  ASSERT_EQ(loadPlaces(SKYVANE_SERVICE_DATA).error, "");
  EXPECT_GE(shipped().size(), 50u);
  int us = 0, southern = 0, eastern = 0;
  std::set<std::string> slugs;
  for (const Place& p : shipped()) {
    us += !p.postalCodes.empty();
    southern += p.latitude < 0;
    eastern += p.longitude > 60;
    EXPECT_TRUE(slugs.insert(p.slug).second) << p.slug;
    // "City, ST" for US places, "City, Country" elsewhere.
    auto comma = p.name.rfind(", ");
    ASSERT_NE(comma, std::string::npos) << p.name;
    EXPECT_EQ(!p.postalCodes.empty(), p.name.size() - comma == 4) << p.name;
    // Summer falls in July in the north and in January in the south.
    if (std::abs(p.latitude) > 23.5) {
      EXPECT_GT((p.climate.monthlyMeanF[6] - p.climate.monthlyMeanF[0]) * p.latitude, 0) << p.name;
    }
  }
  EXPECT_GE(us, 30);
  EXPECT_GE(southern, 5);
  EXPECT_GE(eastern, 5);
}

TEST(Places, BadLinesAreRejectedWithTheirNumber) {
  const std::string good =
      "Oslo, Norway\tmain\t-\t59.9\t10.7\t12\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12";
  auto with = [&](int field, const std::string& value) {
    std::string line = good;
    std::size_t start = 0;
    for (int i = 0; i < field; ++i) start = line.find('\t', start) + 1;
    return line.replace(start, line.find('\t', start) - start, value);
  };
  const std::string badName = "name is empty or holds a control byte, '<', '&' or '\"'";
  struct Case {
    std::string text, error;
  } cases[] = {
      {"# comment\n\n" + good + "\r\n", ""},
      {"# only a comment\n", "no places"},
      {"\n" + good.substr(0, good.rfind('\t')),
       "line 2: expected 18 tab-separated fields, found 17"},
      {with(0, "A<B, X"), "line 1: " + badName},
      {with(2, "12345,"), "line 1: bad postal code"},
      {good + "\n" + good, "line 2: duplicate name"},
  };
  for (const auto& c : cases) EXPECT_EQ(parsePlaces(c.text).error, c.error) << c.text;
}

TEST(Places, QueryMatching) {
  EXPECT_EQ(decodeQuery("New+York_City%41%7e 100% %4 %zz"), "New York CityA~ 100% %4 %zz");
  EXPECT_EQ(matchKey("  St. Louis,\xfcMO "), "st louis mo");
  struct Case {
    const char* query;
    const char* exact;  // "" when the query names no single place
    std::vector<std::string> matches;
  } cases[] = {
      {"78704", "Austin, TX", {"Austin, TX"}},
      {"Austin, TX", "Austin, TX", {"Austin, TX"}},
      {"  New   YORK ", "New York, NY", {"New York, NY"}},
      {"st louis", "St. Louis, MO", {"St. Louis, MO"}},
      {"Paris", "", {"Paris, TX", "Paris, France"}},
      {"Paris, France", "Paris, France", {"Paris, France"}},
      {"Springfield", "", {"Springfield, MA", "Springfield, MO", "Springfield, IL"}},
      {"78", "", {"Austin, TX", "San Antonio, TX"}},
      {"Anchor", "", {"Anchorage, AK"}},
      {"ustin", "", {}},
      {"   ", "", {}},
      {"\xff\xfe%#&", "", {}},
  };
  for (const auto& c : cases) {
    QueryMatch match = matchQuery(shipped(), c.query);
    std::vector<std::string> names;
    for (const Place* p : match.matches) names.push_back(p->name);
    EXPECT_EQ(match.exact ? match.exact->name : "", c.exact) << c.query;
    EXPECT_EQ(names, c.matches) << c.query;
  }
}

}  // namespace
