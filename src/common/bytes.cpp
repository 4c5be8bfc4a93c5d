#include "common/bytes.h"

#include <bit>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

std::size_t findMarker(std::string_view text, std::size_t from, std::string_view marker,
                       std::size_t anchor) {
  if (marker.size() < 2 || marker.size() > text.size()) return kNotFound;
  if (anchor + 1 >= marker.size()) anchor = 0;
  const std::size_t lastStart = text.size() - marker.size();
  const char* data = text.data();
  const char first = marker[anchor];
  const char second = marker[anchor + 1];
  std::size_t start = from;
#if defined(__SSE2__)
  // Sixteen candidate starts at a time: a candidate needs the anchor pair of
  // bytes in place before the whole marker is compared. The loads reach at
  // most the byte after the last candidate's anchor, which lies inside the
  // marker and so inside the text.
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i seconds = _mm_set1_epi8(second);
  auto pairs = [&](std::size_t candidate) {
    const char* at = data + candidate + anchor;
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at + 1));
    return _mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, seconds));
  };
  auto compareAll = [&](std::size_t block, __m128i matches) -> std::size_t {
    unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(matches));
    while (mask != 0) {
      std::size_t candidate = block + static_cast<std::size_t>(std::countr_zero(mask));
      if (std::memcmp(data + candidate, marker.data(), marker.size()) == 0) return candidate;
      mask &= mask - 1;
    }
    return kNotFound;
  };
  // Pages rarely hold the pair, so 64 candidates are tested with one branch.
  for (; start + 64 <= lastStart + 1; start += 64) {
    __m128i m0 = pairs(start), m1 = pairs(start + 16), m2 = pairs(start + 32),
            m3 = pairs(start + 48);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3))) == 0) continue;
    for (std::size_t found : {compareAll(start, m0), compareAll(start + 16, m1),
                              compareAll(start + 32, m2), compareAll(start + 48, m3)}) {
      if (found != kNotFound) return found;
    }
  }
  for (; start + 16 <= lastStart + 1; start += 16) {
    std::size_t found = compareAll(start, pairs(start));
    if (found != kNotFound) return found;
  }
#endif
  for (; start <= lastStart; ++start) {
    if (data[start + anchor] == first && data[start + anchor + 1] == second &&
        std::memcmp(data + start, marker.data(), marker.size()) == 0) {
      return start;
    }
  }
  return kNotFound;
}

bool markerAt(std::string_view text, std::size_t at, std::string_view marker) {
  return at <= text.size() && text.size() - at >= marker.size() &&
         std::memcmp(text.data() + at, marker.data(), marker.size()) == 0;
}

std::size_t copyUntil(std::string_view text, std::size_t start, char stop, TextBuffer& out) {
  std::memset(out, 0, kTextSize);
  if (start >= text.size()) return kNotFound;
  const char* begin = text.data() + start;
  const void* hit = std::memchr(begin, stop, text.size() - start);
  std::size_t length =
      hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - begin) : text.size() - start;
  copyText(out, std::string_view(begin, length));
  return hit ? start + length : kNotFound;
}
