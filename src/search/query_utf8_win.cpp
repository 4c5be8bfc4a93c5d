#include "search/query_utf8_win.h"

#include <windows.h>

std::string utf8FromAnsi(std::string_view ansi) {
  if (ansi.empty() || ansi.size() > 0x7FFFFFF) return std::string(ansi);
  int size = static_cast<int>(ansi.size());
  int wide = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
  if (wide <= 0) return std::string(ansi);
  std::wstring text(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, text.data(), wide);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string(ansi);
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), wide, utf8.data(), bytes, nullptr, nullptr);
  return utf8;
}
