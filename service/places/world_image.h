#pragma once
// The world's image: the tables of world_tables.h laid out to be used where
// they lie. All numbers little-endian. The header:
//   0  "SkyWorld"           8  version (u32)    12  sections (u32)
//   16 size of the image    24 checksum of the bytes after the header (u64)
//   32 per section, in the order of WorldTables' members from the arena to
//      the coordinates: its offset and its length in bytes (u64 each)
// then the sections, each at a multiple of 8 bytes. Opening checks all of
// it, so that a damaged image is refused, never read.

#include <memory>
#include <string>
#include <string_view>

#include "service/places/gazetteer.h"
#include "service/places/world_tables.h"

constexpr std::uint32_t kWorldImageVersion = 1;

// The image's bytes.
std::string worldImage(const WorldTables& tables);

// Views of an image's bytes, which `storage` keeps; an error, and no views,
// when the bytes are no sound image of this version. The bytes must be
// aligned to 8.
Gazetteer openWorldImage(std::string_view bytes, std::shared_ptr<const void> storage);

// Sets an image's checksum to its bytes, so that a test or fuzz target can
// damage an image and have the other checks see it.
void sealWorldImage(std::string& bytes);
