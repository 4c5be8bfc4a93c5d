#pragma once
// Owns the HTML of every page the service writes, for both place sources:
// report, results, not-found, home, error and maintenance pages. The program
// reads some of these bytes by offset from markers: see pages.cpp.

#include <string>
#include <string_view>

#include "service/places/place.h"
#include "service/weather/weather_model.h"

// Whose weather a page stands beside: live data's licence asks for its
// attribution next to where the data is shown.
enum class Attribution { Sample, Live };

// Markup that another writer adds to a report page: to its head (before
// every marker) and after its report section. Neither may hold a marker.
struct PageExtras {
  std::string head, body;
};

std::string reportPage(const Place& place, const Weather& weather, UnixTime now);
// Report pages say when their reading was observed, in a
// <meta name="skyvane-observed" content="2026-12-07T14:05Z"> of their head:
// the sample's at `now`, live weather's at `observed`; and the reading to a
// tenth of a degree, <meta name="skyvane-temperature" content="41.5"> (and
// "skyvane-feels-like"), beside the markers' whole degrees.
//
// A report page of live weather, with the data's attribution: the
// temperatures as the upstream gave them, in °F, and what it gave of the
// day's outlook (head marks: see outlook_markup.h).
std::string liveReportPage(const Place& place, double temperatureF, double feelsLikeF,
                           UnixTime fetched, UnixTime observed, bool stale,
                           const DayOutlook& outlook = {}, const PageExtras& extras = {});
// A short page for when no weather can be had (status 503).
std::string unavailablePage(const Place& place);
std::string resultsPage(std::string_view query, const ResultList& list, Attribution attribution);
std::string notFoundPage(std::string_view query, Attribution attribution);
// The page of a permanent redirect to `link`, a report link.
std::string movedPage(std::string_view link, Attribution attribution);
std::string homePage(const HomeText& home, Attribution attribution);
std::string errorPage(int status, Attribution attribution);
// A small whole page for a request refused before routing (malformed,
// oversized): kept short, since a hostile client may ask for many.
std::string refusalPage(int status);
// A whole page that holds none of the markers.
std::string maintenancePage(Attribution attribution);
