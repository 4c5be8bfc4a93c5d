// skyvane-world-image: turns the world's data file (text) into the image the
// service maps, and opens the result as the service will before keeping it.
//   skyvane-world-image world.tsv world.img

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "service/places/gazetteer.h"
#include "service/places/world_image.h"
#include "service/places/world_tables.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: skyvane-world-image DATA_FILE IMAGE_FILE\n";
    return 2;
  }
  WorldTables tables = readWorldFile(argv[1]);
  if (!tables.error.empty()) {
    std::cerr << "skyvane-world-image: " << tables.error << "\n";
    return 1;
  }
  std::string image = worldImage(tables);
  std::string partial = std::string(argv[2]) + ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out.write(image.data(), std::streamsize(image.size()));
    if (!out.flush()) {
      std::cerr << "skyvane-world-image: cannot write " << partial << "\n";
      return 1;
    }
  }
  Gazetteer world = mapGazetteer(partial);
  if (!world.error.empty()) {
    std::cerr << "skyvane-world-image: " << world.error << "\n";
    return 1;
  }
  std::error_code error;
  std::filesystem::rename(partial, argv[2], error);
  if (error) {
    std::cerr << "skyvane-world-image: cannot write " << argv[2] << ": " << error.message() << "\n";
    return 1;
  }
  std::cout << "skyvane-world-image: " << world.places.size() << " towns, " << world.zips.size()
            << " ZIP codes, " << image.size() << " bytes\n";
  return 0;
}
