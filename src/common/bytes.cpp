#include "common/bytes.h"

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// A wider search on processors that have AVX2, chosen at run time so that the
// program still runs on any x86-64. Not on Windows builds without
// optimisation: there GCC may keep 32-byte vectors on a stack it cannot align.
#if defined(__SSE2__) && defined(__x86_64__) && defined(__GNUC__) && \
    (!defined(_WIN32) || defined(__OPTIMIZE__))
#define SKYVANE_AVX2_DISPATCH 1
#include <immintrin.h>
#endif

namespace {

// The kernels below look for the anchor pair: a position p with pairs[p] ==
// first and pairs[p + 1] == second. Each returns the first position in
// [at, end) that either holds the pair or from which fewer than one of its
// blocks remain; every position it passes over lacks the pair. They read
// pairs[at] to pairs[end] at most, so pairs[end] must be readable.

#if defined(__SSE2__)
// Inlined even when optimising for size: a call per vector would cost more
// than the comparison itself.
#if defined(__GNUC__)
#define SKYVANE_ALWAYS_INLINE __attribute__((always_inline)) inline
#else
#define SKYVANE_ALWAYS_INLINE inline
#endif

SKYVANE_ALWAYS_INLINE __m128i pairMask128(const char* p, __m128i firsts, __m128i seconds) {
  __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
  return _mm_and_si128(_mm_cmpeq_epi8(a, firsts), _mm_cmpeq_epi8(b, seconds));
}

SKYVANE_ALWAYS_INLINE uint64_t bits128(__m128i m) {
  return static_cast<uint32_t>(_mm_movemask_epi8(m));
}

std::size_t skipSse2(const char* pairs, std::size_t at, std::size_t end, char first, char second) {
  const __m128i firsts = _mm_set1_epi8(first);
  const __m128i seconds = _mm_set1_epi8(second);
  // Pages rarely hold the pair, so 64 positions are tested with one branch.
  for (; at + 64 <= end; at += 64) {
    const char* p = pairs + at;
    __m128i m0 = pairMask128(p, firsts, seconds), m1 = pairMask128(p + 16, firsts, seconds),
            m2 = pairMask128(p + 32, firsts, seconds), m3 = pairMask128(p + 48, firsts, seconds);
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(m0, m1), _mm_or_si128(m2, m3))) == 0) continue;
    uint64_t mask = bits128(m0) | bits128(m1) << 16 | bits128(m2) << 32 | bits128(m3) << 48;
    return at + static_cast<std::size_t>(std::countr_zero(mask));
  }
  for (; at + 16 <= end; at += 16) {
    uint64_t mask = bits128(pairMask128(pairs + at, firsts, seconds));
    if (mask != 0) return at + static_cast<std::size_t>(std::countr_zero(mask));
  }
  return at;
}
#endif

#if defined(SKYVANE_AVX2_DISPATCH)
// Always inlined and kept to fewer vectors than there are registers, so that no
// 32-byte vector is ever passed or spilled through the stack.
__attribute__((target("avx2"), always_inline)) inline __m256i pairMask256(const char* p,
                                                                          __m256i firsts,
                                                                          __m256i seconds) {
  __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
  __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
  return _mm256_and_si256(_mm256_cmpeq_epi8(a, firsts), _mm256_cmpeq_epi8(b, seconds));
}

__attribute__((target("avx2"), always_inline)) inline uint64_t bits256(__m256i low, __m256i high) {
  return static_cast<uint32_t>(_mm256_movemask_epi8(low)) |
         static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(high))) << 32;
}

__attribute__((target("avx2"))) std::size_t skipAvx2(const char* pairs, std::size_t at,
                                                     std::size_t end, char first, char second) {
  if (at + 128 > end) return at;
  const __m256i firsts = _mm256_set1_epi8(first);
  const __m256i seconds = _mm256_set1_epi8(second);
  // The first 64 positions unaligned, then blocks whose first load is aligned
  // to a cache line: the pages come from the second-level cache, where loads
  // that straddle lines cost the most.
  __m256i m0 = pairMask256(pairs + at, firsts, seconds);
  __m256i m1 = pairMask256(pairs + at + 32, firsts, seconds);
  uint64_t mask = bits256(m0, m1);
  if (mask == 0) {
    at += 64 - (reinterpret_cast<std::uintptr_t>(pairs + at) & 63);
    for (; at + 128 <= end; at += 128) {
      const char* p = pairs + at;
      m0 = pairMask256(p, firsts, seconds);
      m1 = pairMask256(p + 32, firsts, seconds);
      __m256i m2 = pairMask256(p + 64, firsts, seconds);
      __m256i m3 = pairMask256(p + 96, firsts, seconds);
      __m256i any = _mm256_or_si256(_mm256_or_si256(m0, m1), _mm256_or_si256(m2, m3));
      if (_mm256_movemask_epi8(any) == 0) continue;
      mask = bits256(m0, m1);
      if (mask == 0) {
        at += 64;
        mask = bits256(m2, m3);
      }
      break;
    }
  }
  // SSE code follows; GCC leaves this out of functions optimised for size.
  _mm256_zeroupper();
  return mask == 0 ? at : at + static_cast<std::size_t>(std::countr_zero(mask));
}

bool hasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}
#endif

std::size_t skipWithoutPair(const char* pairs, std::size_t at, std::size_t end, char first,
                            char second) {
#if defined(SKYVANE_AVX2_DISPATCH)
  if (hasAvx2()) {
    at = skipAvx2(pairs, at, end, first, second);
    if (at + 128 <= end) return at;  // a candidate
  }
#endif
#if defined(__SSE2__)
  at = skipSse2(pairs, at, end, first, second);
#endif
  return at;
}

}  // namespace

std::size_t findMarker(std::string_view text, std::size_t from, std::string_view marker,
                       std::size_t anchor) {
  if (marker.size() < 2 || marker.size() > text.size()) return kNotFound;
  if (anchor + 1 >= marker.size()) anchor = 0;
  // Candidates start in [from, end). The pair of a candidate lies at
  // pairs[start] and pairs[start + 1]; for the last candidate the second byte
  // is at most the marker's last byte, so the kernels never read past the text.
  const std::size_t end = text.size() - marker.size() + 1;
  const char* pairs = text.data() + anchor;
  const char first = marker[anchor];
  const char second = marker[anchor + 1];
  auto isMarker = [&](std::size_t start) {
    return pairs[start] == first && pairs[start + 1] == second &&
           std::memcmp(text.data() + start, marker.data(), marker.size()) == 0;
  };
  std::size_t start = from;
  while (start < end) {
    start = skipWithoutPair(pairs, start, end, first, second);
    if (start >= end) break;
    if (pairs[start] != first || pairs[start + 1] != second) {
      // Fewer than a block remain: byte by byte from here.
      for (; start < end; ++start) {
        if (isMarker(start)) return start;
      }
      break;
    }
    if (isMarker(start)) return start;
    ++start;
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

namespace {

bool isControlByte(unsigned char byte) { return byte < 0x20 || byte == 0x7F; }

}  // namespace

void blankControlBytes(char* text, std::size_t size) {
  for (std::size_t i = 0; i < size && text[i] != '\0'; ++i) {
    if (isControlByte(static_cast<unsigned char>(text[i]))) text[i] = ' ';
  }
}

void blankControlBytes(std::string& text) {
  for (char& byte : text) {
    if (isControlByte(static_cast<unsigned char>(byte))) byte = ' ';
  }
}

bool isServiceLink(std::string_view link) {
  if (link.empty() || link[0] != '/' || (link.size() > 1 && link[1] == '/')) return false;
  for (char byte : link) {
    if (byte == '@' || byte == '\\' || isControlByte(static_cast<unsigned char>(byte))) {
      return false;
    }
  }
  return true;
}

bool takePrefix(std::string_view& text, std::string_view prefix) {
  if (text.substr(0, prefix.size()) != prefix) return false;
  text.remove_prefix(prefix.size());
  return true;
}
