#pragma once
// Fixed 256-byte text buffers shared by every record of the program.

#include <cstddef>
#include <cstring>
#include <string_view>

inline constexpr std::size_t kTextSize = 256;
using TextBuffer = char[kTextSize];

// Copies as much of `text` as fits into `buffer` (255 bytes of a
// TextBuffer; the platform's fixed fields alike) and terminates it.
template <std::size_t N>
void copyText(char (&buffer)[N], std::string_view text) {
  static_assert(N > 0);
  std::size_t length = text.size() < N - 1 ? text.size() : N - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// The bytes of a buffer up to its terminator (or all 256 when unterminated).
inline std::string_view textOf(const TextBuffer& buffer) {
  return std::string_view(buffer, strnlen(buffer, kTextSize));
}
