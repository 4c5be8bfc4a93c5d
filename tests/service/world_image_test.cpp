#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "service/places/gazetteer.h"
#include "service/places/query_text.h"
#include "service/places/world_image.h"

namespace {

const std::string& extractImage() {
  static std::string image = [] {
    WorldTables tables = readWorldFile(SKYVANE_TEST_DATA "/world_extract.tsv");
    EXPECT_EQ(tables.error, "");
    return worldImage(tables);
  }();
  return image;
}

// Opens bytes as the service would, from memory aligned as a mapping is.
Gazetteer openBytes(const std::string& bytes) {
  auto words = std::make_shared<std::vector<std::uint64_t>>(bytes.size() / 8 + 1);
  std::memcpy(words->data(), bytes.data(), bytes.size());
  return openWorldImage({reinterpret_cast<const char*>(words->data()), bytes.size()}, words);
}

std::uint64_t read64(const std::string& bytes, std::size_t at) {
  std::uint64_t value;
  std::memcpy(&value, bytes.data() + at, 8);
  return value;
}

void write32(std::string& bytes, std::size_t at, std::uint32_t value) {
  std::memcpy(bytes.data() + at, &value, 4);
}

// A section's offset and length, by its number in the header.
enum { Arena, Countries, Regions, Places, Zips, Index, Others, RangeMin, TypoSet, Coordinates };
std::uint64_t sectionAt(const std::string& image, int section) {
  return read64(image, 32 + 16 * section);
}
std::uint64_t sectionBytes(const std::string& image, int section) {
  return read64(image, 40 + 16 * section);
}

// The image mapped from a file answers as the one made in memory.
TEST(WorldImage, MappedFileAnswersAsTheText) {
  auto path = std::filesystem::temp_directory_path() / "skyvane-world-image-test.img";
  std::ofstream(path, std::ios::binary) << extractImage();
  {  // Windows removes a file only once no mapping holds it.
    Gazetteer mapped = mapGazetteer(path.string());
    Gazetteer parsed = loadGazetteer(SKYVANE_TEST_DATA "/world_extract.tsv");
    ASSERT_EQ(mapped.error, "");
    ASSERT_EQ(parsed.error, "");
    for (const char* query : {"San", "Springfield IL", "Geneva", "Chicgo", "90210", "NYC", "Zur"}) {
      WorldMatch a = searchWorld(mapped, query), b = searchWorld(parsed, query);
      ASSERT_EQ(a.hit.has_value(), b.hit.has_value()) << query;
      if (a.hit) {
        EXPECT_EQ(a.hit->name, b.hit->name) << query;
      }
      ASSERT_EQ(a.listed.size(), b.listed.size()) << query;
      for (std::size_t i = 0; i < a.listed.size(); ++i)
        EXPECT_EQ(a.listed[i].name, b.listed[i].name) << query;
    }
  }
  std::filesystem::remove(path);
  EXPECT_NE(mapGazetteer(path.string()).error.find("cannot open"), std::string::npos);
}

// Every damage is refused with its reason, and nothing is left to search.
TEST(WorldImage, DamagedImagesRefused) {
  const std::string& good = extractImage();
  using Damage = void (*)(std::string&);
  struct Case {
    const char* what;
    Damage damage;
    bool reseal;  // the checksum made to match, so the later checks see it
    std::string error;
  } cases[] = {
      {"whole", [](std::string&) {}, false, ""},
      {"empty", [](std::string& b) { b.clear(); }, false, "empty"},
      {"header cut", [](std::string& b) { b.resize(100); }, false, "truncated header"},
      {"magic", [](std::string& b) { b[0] = 'X'; }, true, "not a world image"},
      {"version", [](std::string& b) { write32(b, 8, 2); }, true,
       "image version 2, this service reads 1"},
      {"a byte flipped", [](std::string& b) { b[b.size() / 2] ^= 1; }, false,
       "damaged: checksum mismatch"},
      {"last byte cut", [](std::string& b) { b.pop_back(); }, false, "truncated"},
      {"places past the end",
       [](std::string& b) { write32(b, 32 + 16 * Places, std::uint32_t(b.size())); }, true,
       "places out of range"},
      {"index not whole entries", [](std::string& b) { write32(b, 40 + 16 * Index, 12); }, true,
       "index out of range"},
      {"names not ended",
       [](std::string& b) { b[sectionAt(b, Arena) + sectionBytes(b, Arena) - 1] = 'x'; }, true,
       "names not ended"},
      {"unknown country",
       [](std::string& b) {
         write32(b, sectionAt(b, Places) + offsetof(WorldPlace, country), 0xFFFF);
       },
       true, "places out of range"},
      {"name past the names",
       [](std::string& b) { write32(b, sectionAt(b, Index) + 4, 0xFFFFFFF0); }, true,
       "index out of range"},
      {"other name of no place",
       [](std::string& b) { write32(b, sectionAt(b, Others), 0x3FFFFFFF); }, true,
       "index out of range"},
      {"range tree node", [](std::string& b) { write32(b, sectionAt(b, RangeMin) + 4, 7); }, true,
       "range tree out of range"},
      {"coordinates of no place",
       [](std::string& b) { write32(b, sectionAt(b, Coordinates) + 8, 0xFFFFFFFF); }, true,
       "coordinates out of range"},
  };
  for (const Case& c : cases) {
    std::string bytes = good;
    c.damage(bytes);
    if (c.reseal) sealWorldImage(bytes);
    Gazetteer world = openBytes(bytes);
    EXPECT_EQ(world.error.substr(0, c.error.empty() ? std::string::npos : c.error.size()), c.error)
        << c.what;
    if (!c.error.empty()) {
      EXPECT_TRUE(world.places.empty() && !world.storage) << c.what;
    }
  }
}

// Cut anywhere, inside every section, with the size in the header made to
// match: the sections past the cut are out of range.
TEST(WorldImage, TruncatedAtEachSection) {
  const std::string& good = extractImage();
  for (int section = Countries; section <= Coordinates; ++section) {
    std::string bytes = good.substr(0, sectionAt(good, section) + sectionBytes(good, section) / 2);
    EXPECT_NE(openBytes(bytes).error.find("truncated"), std::string::npos) << section;
    std::uint64_t size = bytes.size();
    std::memcpy(bytes.data() + 16, &size, 8);
    sealWorldImage(bytes);
    EXPECT_NE(openBytes(bytes).error.find("out of range"), std::string::npos) << section;
  }
}

}  // namespace
