#include "tools/gazetteer/icu_text.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/ucnv.h>
#include <unicode/utf8.h>

#include <memory>

namespace {

bool isAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

// A transliterator is not safe to share between threads, and building one
// takes milliseconds: one per thread, made on first use.
std::string toAscii(icu::UnicodeString text) {
  thread_local std::unique_ptr<icu::Transliterator> transliterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Transliterator> made(
        icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
    return U_SUCCESS(status) ? std::move(made) : nullptr;
  }();
  if (transliterator) transliterator->transliterate(text);
  std::string result;
  text.toUTF8String(result);
  std::string ascii;
  for (unsigned char c : result)
    if (c < 0x80) ascii += char(c);
  return ascii;
}

}  // namespace

std::string icuAsciiFromUtf8(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return toAscii(icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size()))));
}

std::string icuAsciiFromQuery(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  int32_t length = int32_t(bytes.size());
  bool utf8 = true;
  for (int32_t i = 0; utf8 && i < length;) {
    UChar32 c;
    U8_NEXT(data, i, length, c);
    utf8 = c >= 0;
  }
  if (utf8) return icuAsciiFromUtf8(bytes);
  return toAscii(icu::UnicodeString(bytes.data(), int32_t(bytes.size()), "windows-1252"));
}

char32_t icuWindows1252(unsigned char byte) {
  char text[1] = {char(byte)};
  icu::UnicodeString decoded(text, 1, "windows-1252");
  return decoded.isEmpty() ? U'\uFFFD' : char32_t(decoded.char32At(0));
}
