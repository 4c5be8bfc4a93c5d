#include "service/places/gazetteer.h"

#include <cstring>

#include "service/places/mapped_file.h"
#include "service/places/query_text.h"
#include "service/places/world_image.h"

// The world's ways in: an image mapped from its file, or a data file's text
// read and made an image in memory (for the build and tests); and the keys
// names and queries are matched by.

std::string searchKey(std::string_view text) {
  std::string words = matchKey(text);
  std::string key;
  std::size_t start = 0;
  bool lastSingle = false;
  while (start < words.size()) {
    std::size_t end = words.find(' ', start);
    if (end == std::string::npos) end = words.size();
    std::string_view word = std::string_view(words).substr(start, end - start);
    start = end + 1;
    if (word == "st") word = "saint";
    if (word == "ste") word = "sainte";
    if (word == "ft") word = "fort";
    if (word == "mt") word = "mount";
    if (word == "pt") word = "point";
    bool single = word.size() == 1 && word[0] >= 'a';
    // "D.C." is "DC", "U.S.A." "USA".
    if (!(single && lastSingle) && !key.empty()) key += ' ';
    key += word;
    lastSingle = single;
  }
  return key;
}

namespace {

// The bytes of an image made in memory, kept aligned to 8.
Gazetteer openMade(WorldTables tables) {
  if (!tables.error.empty()) {
    Gazetteer world;
    world.error = tables.error;
    return world;
  }
  std::string image = worldImage(tables);
  tables = {};
  auto words = std::make_shared<std::vector<std::uint64_t>>((image.size() + 7) / 8);
  std::memcpy(words->data(), image.data(), image.size());
  std::string_view bytes(reinterpret_cast<const char*>(words->data()), image.size());
  return openWorldImage(bytes, std::move(words));
}

}  // namespace

Gazetteer parseGazetteer(std::string_view text) { return openMade(readWorldText(text)); }

Gazetteer loadGazetteer(const std::string& path) { return openMade(readWorldFile(path)); }

Gazetteer mapGazetteer(const std::string& path) {
  MappedFile file = mapFile(path);
  Gazetteer world;
  if (file.error.empty())
    world = openWorldImage(file.bytes, std::move(file.mapping));
  else
    world.error = file.error;
  if (!world.error.empty()) world.error = path + ": " + world.error;
  return world;
}

std::string_view arenaText(const Gazetteer& world, std::uint32_t offset) {
  return std::string_view(world.arena.data() + offset);
}

double degrees(std::int32_t value) { return value / 1e5; }
