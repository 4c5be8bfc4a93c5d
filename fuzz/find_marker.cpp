// The vector marker search under every page scanner, on arbitrary texts,
// markers, anchors and start positions, beside std::string_view::find.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <memory>
#include <string>

#include "check.h"
#include "common/bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::size_t anchor = input.ConsumeIntegralInRange<std::size_t>(0, 40);
  const std::size_t from = input.ConsumeIntegralInRange<std::size_t>(0, 600);
  const std::string marker = input.ConsumeRandomLengthString(32);
  const std::string rest = input.ConsumeRemainingBytesAsString();
  // An allocation of exactly the text's size, so any read past it is caught.
  std::unique_ptr<char[]> bytes(new char[rest.size() + 1]);
  rest.copy(bytes.get(), rest.size());
  std::string_view text(bytes.get(), rest.size());

  std::size_t expected = marker.size() < 2 ? kNotFound : text.find(marker, from);
  check(findMarker(text, from, marker, anchor) == expected, "findMarker agrees with find");
  if (expected != kNotFound) check(markerAt(text, expected, marker), "markerAt at the find");
  return 0;
}
