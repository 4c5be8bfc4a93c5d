// The tooltip text on arbitrary names and temperature texts.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

#include "check.h"
#include "common/temperature.h"
#include "weather/status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool metric = input.ConsumeBool();
  const std::string temperature = input.ConsumeRandomLengthString(64);
  const std::string asOf = input.ConsumeBool() ? input.ConsumeRandomLengthString(160) : "";
  const std::string name = input.ConsumeRemainingBytesAsString();
  const std::string tip = tooltipText(name, temperature, metric, asOf);
  std::optional<int32_t> degrees = toDisplayTemperature(temperature, metric);
  if (!degrees) {
    check(tip.size() <= kTipSize - 1, "tip fits its field");
    check(tip.find("eather unavailable") != std::string::npos, "no number says so");
    return 0;
  }
  std::string reading = " " + std::to_string(*degrees) + "\xB0" + (metric ? "C" : "F");
  // The age is said whole, or, when it cannot fit, not at all.
  if (!asOf.empty() && reading.size() + 8 + asOf.size() + 3 <= kTipSize - 1) {
    reading += ", as of " + asOf;
  }
  check(tip.size() <= kTipSize - 1, "tip fits its field");
  check(tip.size() >= reading.size() &&
            tip.compare(tip.size() - reading.size(), reading.size(), reading) == 0,
        "tip ends in the reading");
  if (name.size() + reading.size() <= kTipSize - 1) {
    check(tip == name + reading, "a short name is kept whole");
  } else {
    const std::size_t kept = kTipSize - 1 - reading.size() - 3;
    check(tip == name.substr(0, kept) + "..." + reading, "a long name is cut with an ellipsis");
  }
  return 0;
}
