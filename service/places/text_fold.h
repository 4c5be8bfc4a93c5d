#pragma once
// Plain ASCII forms of place names and of queries, by ICU's transliteration,
// so that "Zürich" in UTF-8, "Z\xFCrich" in Windows-1252 and "ZURICH" all
// come to the same key.

#include <string>
#include <string_view>

// UTF-8 text in plain ASCII: any script to Latin, then Latin to ASCII
// ("São Paulo" gives "Sao Paulo"). What has no ASCII form is dropped.
std::string asciiFromUtf8(std::string_view utf8);

// The bytes of a query read as UTF-8 when they are valid UTF-8 and as
// Windows-1252 (the program's code page) otherwise, in plain ASCII.
std::string asciiFromQuery(std::string_view bytes);

// The country's English name from ICU ("CH" gives "Switzerland"), in plain
// ASCII; empty when ICU does not know the code.
std::string englishCountryName(std::string_view code);
