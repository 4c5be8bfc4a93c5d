#pragma once
// What an image's tables must hold for the search to stay inside them.

#include <string>

#include "service/places/gazetteer.h"

// Every offset and number the search follows, in range: texts inside the
// arena and ended in it, places' countries and regions known, the index's
// places listed, the range tree over the index as built. Empty when sound.
std::string checkWorldTables(const Gazetteer& world);
