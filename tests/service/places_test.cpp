#include "service/places.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

const std::vector<Place>& shipped() {
  static PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  return data.places;
}

std::vector<std::string> namesOf(const std::vector<const Place*>& places) {
  std::vector<std::string> names;
  for (const Place* place : places) names.push_back(place->name);
  return names;
}

TEST(Places, ShippedDataCoversTheWorldAndTheStates) {
  PlaceData data = loadPlaces(SKYVANE_SERVICE_DATA);
  ASSERT_EQ(data.error, "");
  EXPECT_GE(data.places.size(), 50u);
  int us = 0, southern = 0, western = 0, eastern = 0;
  std::set<std::string> slugs;
  for (const Place& place : data.places) {
    bool american = !place.postalCodes.empty();
    us += american;
    southern += place.latitude < 0;
    western += place.longitude < -30;
    eastern += place.longitude > 60;
    EXPECT_TRUE(slugs.insert(place.slug).second) << place.slug;
    // "City, ST" for US places, "City, Country" elsewhere.
    auto comma = place.name.rfind(", ");
    ASSERT_NE(comma, std::string::npos) << place.name;
    if (american) {
      EXPECT_EQ(place.name.size() - comma, 4u) << place.name;
    }
    for (const auto& code : place.postalCodes) EXPECT_EQ(code.size(), 5u) << place.name;
  }
  EXPECT_GE(us, 30);
  EXPECT_GE(southern, 5);
  EXPECT_GE(eastern, 5);
  EXPECT_GE(western - us, 5);
}

TEST(Places, BadLinesAreRejectedWithTheirNumber) {
  const std::string good =
      "Oslo, Norway\tmain\t-\t59.9\t10.7\t12\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12";
  auto with = [&](std::size_t field, const std::string& value) {
    std::string line = good;
    std::size_t start = 0;
    for (std::size_t i = 0; i < field; ++i) start = line.find('\t', start) + 1;
    std::size_t end = line.find('\t', start);
    return line.replace(start, end == std::string::npos ? end : end - start, value);
  };
  struct Case {
    std::string text, error;
  } cases[] = {
      {"# comment\n\n" + good + "\r\n", ""},
      {"", "no places"},
      {"# only a comment\n", "no places"},
      {"\n" + good.substr(0, good.rfind('\t')),
       "line 2: expected 18 tab-separated fields, found 17"},
      {with(0, "A<B, X"), "line 1: name is empty or holds a control byte, '<', '&' or '\"'"},
      {with(0, "A&B, X"), "line 1: name is empty or holds a control byte, '<', '&' or '\"'"},
      {with(1, "big"), "line 1: rank must be top, main or minor"},
      {with(2, "12 34"), "line 1: bad postal code"},
      {with(2, "12345,"), "line 1: bad postal code"},
      {with(3, "north"), "line 1: field 4 is not a number"},
      {with(17, "7x"), "line 1: field 18 is not a number"},
      {with(3, "91"), "line 1: coordinates or swing out of range"},
      {with(5, "-1"), "line 1: coordinates or swing out of range"},
      {good + "\n" + good, "line 2: duplicate name"},
  };
  for (const auto& c : cases) EXPECT_EQ(parsePlaces(c.text).error, c.error) << c.text;
}

TEST(Places, KeysAndDecoding) {
  struct Case {
    const char* in;
    const char* key;
  } keys[] = {
      {"St. Louis, MO", "st louis mo"},
      {"  NEW   york ", "new york"},
      {"a\xfc\x01z", "a z"},
      {"--", ""},
      {"78701", "78701"},
  };
  for (const auto& c : keys) EXPECT_EQ(matchKey(c.in), c.key) << c.in;

  struct Decode {
    const char* raw;
    std::string text;
  } decodes[] = {
      {"New+York", "New York"},
      {"New_York", "New York"},
      {"%41%7e%2B", "A~+"},
      {"100%", "100%"},
      {"%4", "%4"},
      {"%zz%", "%zz%"},
      {"%00x", std::string("\0x", 2)},
      {"a&b#c", "a&b#c"},
  };
  for (const auto& c : decodes) EXPECT_EQ(decodeQuery(c.raw), c.text) << c.raw;
}

TEST(Places, QueryMatching) {
  struct Case {
    const char* query;
    const char* exact;  // "" when the query names no single place
    std::vector<std::string> matches;
  } cases[] = {
      {"78701", "Austin, TX", {"Austin, TX"}},
      {"78704", "Austin, TX", {"Austin, TX"}},
      {"00901", "San Juan, PR", {"San Juan, PR"}},
      {"Austin, TX", "Austin, TX", {"Austin, TX"}},
      {"austin", "Austin, TX", {"Austin, TX"}},
      {"  New   YORK ", "New York, NY", {"New York, NY"}},
      {"st louis", "St. Louis, MO", {"St. Louis, MO"}},
      {"Paris", "", {"Paris, TX", "Paris, France"}},
      {"Paris, France", "Paris, France", {"Paris, France"}},
      {"Portland", "", {"Portland, OR", "Portland, ME"}},
      {"Springfield", "", {"Springfield, MA", "Springfield, MO", "Springfield, IL"}},
      {"78", "", {"Austin, TX", "San Antonio, TX"}},
      {"Anchor", "", {"Anchorage, AK"}},
      {"ustin", "", {}},
      {"", "", {}},
      {"   ", "", {}},
      {"zzzz", "", {}},
      {"99999", "", {}},
      {"\xff\xfe%#&", "", {}},
  };
  for (const auto& c : cases) {
    QueryMatch match = matchQuery(shipped(), c.query);
    EXPECT_EQ(match.exact ? match.exact->name : "", c.exact) << c.query;
    EXPECT_EQ(namesOf(match.matches), c.matches) << c.query;
  }
  // A region matches all its places, in data order.
  auto texas = namesOf(matchQuery(shipped(), "TX").matches);
  EXPECT_EQ(texas.size(), 6u);
  EXPECT_EQ(texas.front(), "Houston, TX");
}

}  // namespace
