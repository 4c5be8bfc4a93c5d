#pragma once
// The Search dialog's text as it travels to the service: UTF-8, so that
// every letter arrives as typed whatever the system's ANSI code page.

#include <string>
#include <string_view>

// The text, in the system's ANSI code page, in UTF-8; unchanged when the
// code page cannot read it (the service also takes Windows-1252 bytes).
std::string utf8FromAnsi(std::string_view ansi);
