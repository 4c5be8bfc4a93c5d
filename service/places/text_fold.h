#pragma once
// Plain ASCII forms of queries, so that "Zürich" in UTF-8, "Z\xFCrich" in
// Windows-1252 and "ZURICH" all come to the same key. The forms are ICU's
// transliteration ("Any-Latin; Latin-ASCII"), taken per character from a
// table that the build makes with ICU (tools/gazetteer/fold_table.cpp): the
// service itself needs no ICU.

#include <string>
#include <string_view>

// UTF-8 text in plain ASCII ("São Paulo" gives "Sao Paulo"). What has no
// ASCII form, or no entry in the table, is dropped.
std::string asciiFromUtf8(std::string_view utf8);

// The bytes of a query read as UTF-8 when they are valid UTF-8 and as
// Windows-1252 (the program's code page) otherwise, in plain ASCII.
std::string asciiFromQuery(std::string_view bytes);

// The country's English name, in plain ASCII; empty when unknown. Only the
// gazetteer builder has it (with ICU, tools/gazetteer/icu_text.cpp).
std::string englishCountryName(std::string_view code);
