#!/usr/bin/env bash
# Cuts the small extract that the service tests search (tests/data/world_extract.tsv)
# from a full world places file:
#   bash tools/gazetteer/extract.sh build/native/service/data/world.tsv > tests/data/world_extract.tsv
# It keeps every country and state, the divisions of a few countries, the
# world's 100 most populous towns, the towns the tests name, enough "San"
# and "Spring" towns for both sections of a results page, small ones among
# them, and a few ZIP codes.
set -euo pipefail
full=${1:?usage: extract.sh FULL_FILE}
awk -F'\t' '
  /^#/ && NR <= 6 { print; next }
  $1 == "C" || $1 == "S" { print; next }
  $1 == "R" { if ($2 ~ /^(CA|AU|GB|NZ)$/) print; next }
  $1 == "P" {
    city = tolower($2)
    keep = ++places <= 100
    keep = keep || city ~ /^(san diego|springfield|zurich|sao paulo|wellsville|beverly hills|bozeman)$/
    keep = keep || city ~ /^(prague|nova praha|calcutta|kolkata|vienna|wiener neustadt|munich|monaco)$/
    keep = keep || city ~ /^(kyiv|saint paul|fort worth|washington|los angeles|london|victoria)$/
    keep = keep || city ~ /^(sydney|perth|boston|chicago|cambridge|geneva|geneve|hamilton|la)$/
    keep = keep || city ~ /^zurich \(kreis [1-4]\)/
    if (city ~ /^san /) keep = keep || ($5 >= 5000 ? ++bigSan <= 40 : ++smallSan <= 10)
    if (city ~ /^spring/) keep = keep || ++spring <= 20
    if (keep) print
    next
  }
  $1 == "Z" && ($2 ~ /^(90210|59715|10001|92101|00901|65806|02139)$/ || ($6 == "" && ++lonely <= 2))
' "$full"
