#pragma once
// ICU's folding to plain ASCII, on the build machine only: the gazetteer
// builder folds the towns' names with it, and the fold-table generator asks
// it for every character that the running service may have to fold.

#include <string>
#include <string_view>

// Any script to Latin, then Latin to ASCII, over the whole text ("São Paulo"
// gives "Sao Paulo"); what has no ASCII form is dropped.
std::string icuAsciiFromUtf8(std::string_view utf8);

// A query's bytes as UTF-8 when they are valid UTF-8, as Windows-1252
// otherwise, in plain ASCII: what the service's table must agree with.
std::string icuAsciiFromQuery(std::string_view bytes);

// The Unicode character that ICU reads a Windows-1252 byte as (its
// substitute where the code page has none).
char32_t icuWindows1252(unsigned char byte);
