// skyvane-fold-table: writes the table that lets the service fold queries to
// plain ASCII without ICU: the plain form of every character that a place
// name or a query typed on a Windows PC may hold, as ICU gives it, and the
// characters of the Windows-1252 code page.
//   skyvane-fold-table OUT_FILE

#include <unicode/uvernum.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "tools/gazetteer/icu_text.h"

namespace {

// The scripts of the towns' names and of Windows-1252: Latin with its
// extensions and combining marks, Greek, Cyrillic, and the punctuation,
// currency and letter-like signs. Other scripts have no table entry and are
// dropped, which no name of the data needs.
constexpr char32_t kRanges[][2] = {
    {0x00A0, 0x052F},  // Latin-1 to Latin Extended-B, IPA, marks, Greek, Cyrillic
    {0x1AB0, 0x1AFF},  // combining marks, extended
    {0x1D00, 0x1DFF},  // phonetic extensions and supplementary marks
    {0x1E00, 0x1FFF},  // Latin Extended Additional, Greek Extended
    {0x2000, 0x214F},  // punctuation, super- and subscripts, currency, letter-like
    {0x2C60, 0x2C7F},  // Latin Extended-C
    {0xA720, 0xA7FF},  // Latin Extended-D
    {0xFB00, 0xFB06},  // Latin ligatures
    {0xFF01, 0xFF5E},  // full-width ASCII
};

std::string utf8Of(char32_t c) {
  std::string out;
  if (c < 0x80) {
    out += char(c);
  } else if (c < 0x800) {
    out += char(0xC0 | (c >> 6));
    out += char(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += char(0xE0 | (c >> 12));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  } else {
    out += char(0xF0 | (c >> 18));
    out += char(0x80 | ((c >> 12) & 0x3F));
    out += char(0x80 | ((c >> 6) & 0x3F));
    out += char(0x80 | (c & 0x3F));
  }
  return out;
}

// A C string literal: octal escapes never run into the next character.
std::string literal(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\' || c == '?' || c < 0x20 || c > 0x7E) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\%03o", c);
      out += escape;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: skyvane-fold-table OUT_FILE\n";
    return 2;
  }
  std::vector<char32_t> characters;
  char32_t windows1252[128];
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    windows1252[byte - 0x80] = icuWindows1252((unsigned char)byte);
    characters.push_back(windows1252[byte - 0x80]);
  }
  for (auto& range : kRanges)
    for (char32_t c = range[0]; c <= range[1]; ++c) characters.push_back(c);
  std::sort(characters.begin(), characters.end());
  characters.erase(std::unique(characters.begin(), characters.end()), characters.end());

  std::string text, entries;
  std::size_t count = 0;
  for (char32_t c : characters) {
    if (c < 0x80) continue;
    std::string ascii = icuAsciiFromUtf8(utf8Of(c));
    if (ascii.empty()) continue;
    char entry[64];
    std::snprintf(entry, sizeof entry, "    {0x%04X, %zu, %zu},\n", unsigned(c), text.size(),
                  ascii.size());
    entries += entry;
    text += ascii;
    ++count;
  }

  if (text.size() > 0xFFFF) {
    std::cerr << "skyvane-fold-table: the plain forms outgrow 16-bit offsets\n";
    return 1;
  }
  std::ofstream out(argv[1], std::ios::binary);
  out << "// Made by skyvane-fold-table from ICU " U_ICU_VERSION
         ": do not edit.\n// The character each Windows-1252 byte from 0x80 stands for.\n"
         "constexpr char32_t kWindows1252[128] = {";
  for (int i = 0; i < 128; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%s%s0x%04X", i ? "," : "", i % 8 ? " " : "\n    ",
                  unsigned(windows1252[i]));
    out << number;
  }
  out << "};\n// The plain forms, back to back.\nconstexpr char kFoldText[] =";
  for (std::size_t at = 0; at < text.size(); at += 64)
    out << "\n    " << literal(text.substr(at, 64));
  out << ";\n// By character: where its plain form starts in kFoldText, and its length.\n"
         "constexpr FoldEntry kFoldEntries["
      << count << "] = {\n"
      << entries << "};\n";
  out.close();
  if (!out) {
    std::cerr << "skyvane-fold-table: cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
