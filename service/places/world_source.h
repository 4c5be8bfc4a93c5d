#pragma once
// Owns the world's towns as a place source (--places world): the gazetteer's
// search turned into results entries, and report links turned back into
// places.

#include "service/places/gazetteer.h"
#include "service/places/place.h"

// A place for a report: the name and coordinates, rounded as its link has
// them, so that a direct hit and its link bring the same weather.
Place worldPlace(const Located& located);

PlaceSource worldSource(Gazetteer world);
