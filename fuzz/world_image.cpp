// Opening a world image, whole or damaged: either it is refused with a
// reason, or every search over it stays inside it (the sanitizers see to
// that). The input is an image of its own, or edits to the extract's image;
// with the checksum made to match or not, so that the checks past it are
// reached.

#include <cstdint>
#include <cstring>
#include <string>

#include "check.h"
#include "service/places/world_image.h"
#include "service/places/world_source.h"

namespace {

const std::string& base() {
  static std::string image = [] {
    WorldTables tables = readWorldFile(SKYVANE_WORLD_EXTRACT);
    check(tables.error.empty(), "the extract loads");
    return worldImage(tables);
  }();
  return image;
}

// Edits of five bytes each: a position (of the image's bytes) and a value.
std::string edited(const std::uint8_t* data, std::size_t size, bool cut) {
  std::string image = base();
  for (std::size_t at = 0; at + 5 <= size; at += 5) {
    std::uint32_t position;
    std::memcpy(&position, data + at, 4);
    if (cut && at == 0) {
      image.resize(position % (image.size() + 1));
      continue;
    }
    if (!image.empty()) image[position % image.size()] = char(data[at + 4]);
  }
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  std::uint8_t mode = data[0];
  std::string image = mode & 1 ? std::string(reinterpret_cast<const char*>(data) + 1, size - 1)
                               : edited(data + 1, size - 1, mode & 4);
  if (mode & 2) sealWorldImage(image);
  auto words = std::make_shared<std::vector<std::uint64_t>>(image.size() / 8 + 1);
  std::memcpy(words->data(), image.data(), image.size());
  Gazetteer world =
      openWorldImage({reinterpret_cast<const char*>(words->data()), image.size()}, words);
  if (!world.error.empty()) {
    check(world.places.empty() && !world.storage, "a refused image leaves nothing to search");
    return 0;
  }
  check(!world.places.empty(), "an opened image has places");
  PlaceSource source = worldSource(std::move(world));
  for (const char* query : {"San", "Springfield IL", "Geneva", "Chicgo", "Los Angelas", "90210",
                            "Zurich, ch", "NYC", "a"})
    source.search(query);
  source.canonical("/report/47.3667,8.55/zurich-switzerland", false);
  return 0;
}
