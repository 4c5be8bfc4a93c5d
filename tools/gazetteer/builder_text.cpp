// The text functions the builder calls by the service's names
// (service/places/text_fold.h), with ICU: the builder links these instead of
// the service's table.

#include <unicode/locid.h>
#include <unicode/unistr.h>

#include "service/places/text_fold.h"
#include "tools/gazetteer/icu_text.h"

// The builder folds the towns' names with ICU itself, so the data file does
// not depend on which characters the service's table holds.
std::string asciiFromUtf8(std::string_view utf8) { return icuAsciiFromUtf8(utf8); }

std::string englishCountryName(std::string_view code) {
  icu::Locale region("", std::string(code).c_str());
  icu::UnicodeString name;
  region.getDisplayCountry(icu::Locale::getEnglish(), name);
  std::string utf8;
  name.toUTF8String(utf8);
  // ICU answers an unknown code with the code itself.
  if (utf8.empty() || utf8 == code) return "";
  return icuAsciiFromUtf8(utf8);
}
