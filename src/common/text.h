#pragma once
// Fixed 256-byte text buffers shared by every record of the program.

#include <cstddef>
#include <cstring>
#include <string_view>

inline constexpr std::size_t kTextSize = 256;
using TextBuffer = char[kTextSize];

// Copies at most 255 bytes of `text` into `buffer` and terminates it.
inline void copyText(TextBuffer& buffer, std::string_view text) {
  std::size_t length = text.size() < kTextSize - 1 ? text.size() : kTextSize - 1;
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
}

// The bytes of a buffer up to its terminator (or all 256 when unterminated).
inline std::string_view textOf(const TextBuffer& buffer) {
  return std::string_view(buffer, strnlen(buffer, kTextSize));
}
