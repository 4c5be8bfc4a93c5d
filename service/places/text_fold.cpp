#include "service/places/text_fold.h"

#include <unicode/locid.h>
#include <unicode/translit.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include <memory>

namespace {

bool isAscii(std::string_view text) {
  for (unsigned char c : text)
    if (c >= 0x80) return false;
  return true;
}

bool isUtf8(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  int32_t length = int32_t(text.size());
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(bytes, i, length, c);
    if (c < 0) return false;
  }
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

std::string asciiFromUtf8(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  return toAscii(icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), int32_t(utf8.size()))));
}

std::string asciiFromQuery(std::string_view bytes) {
  if (isAscii(bytes)) return std::string(bytes);
  if (isUtf8(bytes)) return asciiFromUtf8(bytes);
  return toAscii(icu::UnicodeString(bytes.data(), int32_t(bytes.size()), "windows-1252"));
}

std::string englishCountryName(std::string_view code) {
  icu::Locale region("", std::string(code).c_str());
  icu::UnicodeString name;
  region.getDisplayCountry(icu::Locale::getEnglish(), name);
  std::string utf8;
  name.toUTF8String(utf8);
  // ICU answers an unknown code with the code itself.
  if (utf8.empty() || utf8 == code) return "";
  return asciiFromUtf8(utf8);
}
