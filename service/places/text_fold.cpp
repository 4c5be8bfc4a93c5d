#include "service/places/text_fold.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace {

struct FoldEntry {
  char32_t code;
  std::uint16_t offset;
  std::uint8_t length;
};

// kWindows1252, kFoldText and kFoldEntries, by code.
#include "fold_table.inc"

bool isAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// The characters of strict UTF-8 (no overlong forms, surrogates or values
// past U+10FFFF). A malformed sequence makes it nothing, or with `lenient`
// one U+FFFD, as ICU reads it.
std::optional<std::u32string> decodeUtf8(std::string_view text, bool lenient = false) {
  static constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  std::u32string out;
  for (std::size_t i = 0; i < text.size();) {
    unsigned char lead = text[i];
    int extra = lead < 0x80                    ? 0
                : lead >= 0xC2 && lead <= 0xDF ? 1
                : (lead & 0xF0) == 0xE0        ? 2
                : lead >= 0xF0 && lead <= 0xF4 ? 3
                                               : -1;
    char32_t c = extra <= 0 ? lead : char32_t(lead & (0x3F >> extra));
    int k = 1;
    for (; extra > 0 && k <= extra && i + k < text.size(); ++k) {
      unsigned char next = text[i + k];
      if ((next & 0xC0) != 0x80) break;
      c = (c << 6) | (next & 0x3F);
    }
    bool whole = extra == 0 || (extra > 0 && k == extra + 1);
    if (!whole || c < kLeast[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
      if (!lenient) return std::nullopt;
      out += U'\uFFFD';
      i += std::size_t(std::max(k, 1));
      continue;
    }
    out += c;
    i += std::size_t(extra) + 1;
  }
  return out;
}

std::string fold(const std::u32string& characters) {
  std::string ascii;
  for (char32_t c : characters) {
    if (c < 0x80) {
      ascii += char(c);
      continue;
    }
    const FoldEntry* end = std::end(kFoldEntries);
    const FoldEntry* at =
        std::lower_bound(std::begin(kFoldEntries), end, c,
                         [](const FoldEntry& e, char32_t k) { return e.code < k; });
    if (at != end && at->code == c) ascii.append(kFoldText + at->offset, at->length);
  }
  return ascii;
}

}  // namespace

std::string asciiFromUtf8(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return fold(*decodeUtf8(utf8, true));
}

std::string asciiFromQuery(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  if (auto characters = decodeUtf8(bytes)) return fold(*characters);
  std::u32string characters;
  for (unsigned char byte : bytes)
    characters += byte < 0x80 ? char32_t(byte) : kWindows1252[byte - 0x80];
  return fold(characters);
}
