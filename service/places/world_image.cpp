#include "service/places/world_image.h"

#include "service/places/world_image_check.h"

#include <bit>
#include <cstring>
#include <type_traits>

// Opening reads the header and checks each section's bounds, the checksum and
// every offset the search follows; the pages are then read in place.

namespace {

static_assert(std::endian::native == std::endian::little, "the image is little-endian");

constexpr char kMagic[8] = {'S', 'k', 'y', 'W', 'o', 'r', 'l', 'd'};

enum Section {
  Arena,
  Countries,
  Regions,
  Places,
  Zips,
  Index,
  Others,
  RangeMin,
  TypoSet,
  Coordinates,
  kSections
};

struct Span {
  std::uint64_t offset, bytes;
};

struct Header {
  char magic[8];
  std::uint32_t version, sections;
  std::uint64_t size, checksum;
  Span span[kSections];
};

template <typename T>
constexpr bool kStorable =
    std::is_trivially_copyable_v<T>&& std::has_unique_object_representations_v<T>;
static_assert(kStorable<Region> && kStorable<WorldPlace> && kStorable<ZipCode> &&
              kStorable<Gazetteer::Entry> && kStorable<CoordinateKey> && kStorable<Header>);

// Eight bytes at a time, so that checking a 10 MB image takes milliseconds.
std::uint64_t checksumOf(std::string_view bytes) {
  std::uint64_t hash = 0x9E3779B97F4A7C15ull ^ bytes.size();
  std::size_t at = 0;
  for (; at + 8 <= bytes.size(); at += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data() + at, 8);
    hash = std::rotl((hash ^ word) * 0xBF58476D1CE4E5B9ull, 31);
  }
  for (; at < bytes.size(); ++at)
    hash = std::rotl((hash ^ static_cast<unsigned char>(bytes[at])) * 0x94D049BB133111EBull, 31);
  return hash;
}

template <typename T>
void append(std::string& out, Span& span, const T* data, std::size_t count) {
  out.resize((out.size() + 7) / 8 * 8, '\0');
  span = {out.size(), count * sizeof(T)};
  out.append(reinterpret_cast<const char*>(data), span.bytes);
}

template <typename T>
void append(std::string& out, Span& span, const std::vector<T>& items) {
  append(out, span, items.data(), items.size());
}

std::uint64_t payloadChecksum(std::string_view bytes) {
  return checksumOf(bytes.substr(sizeof(Header)));
}

}  // namespace

std::string worldImage(const WorldTables& t) {
  Header header{};
  std::memcpy(header.magic, kMagic, sizeof kMagic);
  header.version = kWorldImageVersion;
  header.sections = kSections;
  std::string out(sizeof header, '\0');
  append(out, header.span[Arena], t.arena.data(), t.arena.size());
  append(out, header.span[Countries], t.countries);
  append(out, header.span[Regions], t.regions);
  append(out, header.span[Places], t.places);
  append(out, header.span[Zips], t.zips);
  append(out, header.span[Index], t.index);
  append(out, header.span[Others], t.others);
  append(out, header.span[RangeMin], t.rangeMin);
  append(out, header.span[TypoSet], t.typoSet);
  append(out, header.span[Coordinates], t.coordinates);
  header.size = out.size();
  header.checksum = payloadChecksum(out);
  std::memcpy(out.data(), &header, sizeof header);
  return out;
}

void sealWorldImage(std::string& bytes) {
  if (bytes.size() < sizeof(Header)) return;
  std::uint64_t checksum = payloadChecksum(bytes);
  std::memcpy(bytes.data() + offsetof(Header, checksum), &checksum, sizeof checksum);
}

namespace {

// Each section inside the image, aligned, a whole number of records.
std::string checkSpans(const Header& header, std::size_t size) {
  static constexpr std::size_t kRecord[kSections] = {1,
                                                     sizeof(Region),
                                                     sizeof(Region),
                                                     sizeof(WorldPlace),
                                                     sizeof(ZipCode),
                                                     sizeof(Gazetteer::Entry),
                                                     sizeof(Gazetteer::Entry),
                                                     sizeof(std::uint32_t),
                                                     sizeof(Gazetteer::Entry),
                                                     sizeof(CoordinateKey)};
  static constexpr const char* kName[kSections] = {
      "names", "countries",   "regions",    "places",   "ZIP codes",
      "index", "other names", "range tree", "typo set", "coordinates"};
  for (int s = 0; s < kSections; ++s) {
    const Span& span = header.span[s];
    if (span.offset < sizeof header || span.offset % 8 != 0 || span.offset > size ||
        span.bytes > size - span.offset || span.bytes % kRecord[s] != 0)
      return std::string(kName[s]) + " out of range";
  }
  return "";
}

template <typename T>
std::span<const T> view(std::string_view bytes, const Span& span) {
  return {reinterpret_cast<const T*>(bytes.data() + span.offset), span.bytes / sizeof(T)};
}

}  // namespace

Gazetteer openWorldImage(std::string_view bytes, std::shared_ptr<const void> storage) {
  Gazetteer world;
  Header header;
  if (bytes.size() < sizeof header) {
    world.error = bytes.empty() ? "empty" : "truncated header";
    return world;
  }
  std::memcpy(&header, bytes.data(), sizeof header);
  if (std::memcmp(header.magic, kMagic, sizeof kMagic) != 0) {
    world.error = "not a world image";
  } else if (header.version != kWorldImageVersion || header.sections != kSections) {
    world.error = "image version " + std::to_string(header.version) + ", this service reads " +
                  std::to_string(kWorldImageVersion);
  } else if (header.size != bytes.size()) {
    world.error = "truncated: " + std::to_string(bytes.size()) + " of " +
                  std::to_string(header.size) + " bytes";
  } else if (reinterpret_cast<std::uintptr_t>(bytes.data()) % 8 != 0) {
    world.error = "image not aligned";
  } else if (std::string spans = checkSpans(header, bytes.size()); !spans.empty()) {
    world.error = spans;
  } else if (payloadChecksum(bytes) != header.checksum) {
    world.error = "damaged: checksum mismatch";
  }
  if (!world.error.empty()) return world;
  world.arena =
      std::string_view(bytes.data() + header.span[Arena].offset, header.span[Arena].bytes);
  world.countries = view<Region>(bytes, header.span[Countries]);
  world.regions = view<Region>(bytes, header.span[Regions]);
  world.places = view<WorldPlace>(bytes, header.span[Places]);
  world.zips = view<ZipCode>(bytes, header.span[Zips]);
  world.index = view<Gazetteer::Entry>(bytes, header.span[Index]);
  world.others = view<Gazetteer::Entry>(bytes, header.span[Others]);
  world.rangeMin = view<std::uint32_t>(bytes, header.span[RangeMin]);
  world.typoSet = view<Gazetteer::Entry>(bytes, header.span[TypoSet]);
  world.coordinates = view<CoordinateKey>(bytes, header.span[Coordinates]);
  if (std::string error = checkWorldTables(world); !error.empty()) {
    Gazetteer bad;
    bad.error = error;
    return bad;
  }
  world.storage = std::move(storage);
  return world;
}
