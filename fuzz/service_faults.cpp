// The service's fault prefixes on arbitrary paths: what is taken is a whole
// prefix, what is left is the rest of the same path, and the faults stay
// within their bounds.

#include <cstdint>
#include <string_view>

#include "check.h"
#include "service/pages/routing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string_view path(reinterpret_cast<const char*>(data), size);
  Faults faults;
  std::string_view rest = takeFaults(path, faults);
  check(rest == "/" || path.ends_with(rest), "the rest is the end of the path");
  check(faults.delayMs >= 0 && faults.delayMs <= kMaxDelayMs, "delay within a minute");
  check(faults.status == 0 || (faults.status >= 200 && faults.status <= 599), "status in range");
  if (rest.size() == path.size()) {
    Faults none;
    check(faults.delayMs == none.delayMs && faults.status == none.status && !faults.cut &&
              !faults.empty && !faults.noMarkers,
          "nothing taken, no fault");
  }
  Faults again;
  check(takeFaults(rest, again) == rest, "the rest starts with no fault prefix");
  return 0;
}
