#pragma once
// What a report page says of the alerts for its place: a section of its
// head, which the program reads, and one of its body, for people.
//
// Head, only when the source answered: <meta name="skyvane-alerts"
// content="N"> with N the alerts in force, then one tag per alert,
//   <meta name="skyvane-alert" data-id="..." data-severity="Severe"
//    data-ends="2026-12-07T18:45-06:00" data-event="..." data-headline="...">
// the end in the place's local time with its offset ("Z" when only UTC is
// known), left out for an alert until further notice. Values are escaped
// as HTML attributes, blanks too ("&#32;"), so no text of an alert can pose
// as a marker of the page or end the tag.

#include <optional>
#include <string>

#include "service/alerts/alerts_cache.h"
#include "service/pages/pages.h"

// `utcOffsetS`: the place's offset from UTC when known, for ends the source
// wrote in UTC.
PageExtras alertsMarkup(const AlertsLookup& found, std::optional<int> utcOffsetS);
