#pragma once
// Byte matching over page texts: fixed markers compared byte for byte and
// values copied up to a stop byte, never reading outside the text.

#include <cstddef>
#include <string>
#include <string_view>

#include "common/text.h"

inline constexpr std::size_t kNotFound = std::string_view::npos;

// The first position at or after `from` where all of `marker` lies within
// `text`, or kNotFound. `anchor` is the index of a byte of the marker that is
// rare in ordinary pages; candidates are found by searching for it alone.
std::size_t findMarker(std::string_view text, std::size_t from, std::string_view marker,
                       std::size_t anchor);

// True when `marker` lies wholly within `text` at `at`.
bool markerAt(std::string_view text, std::size_t at, std::string_view marker);

// When `text` begins with `prefix`, drops it from `text` and says so.
bool takePrefix(std::string_view& text, std::string_view prefix);

// Clears `out`, then copies the bytes from `start` up to, not including, the
// first `stop` byte, storing at most 255 of them. Returns the position of
// that stop byte, or kNotFound when the text ends first (or `start` lies
// beyond it).
std::size_t copyUntil(std::string_view text, std::size_t start, char stop, TextBuffer& out);

// Bytes from the service are data, never structure: control bytes (0x00-0x1F
// and 0x7F) become spaces, so a name cannot start a new line in the settings
// file or the menu. Stops at the buffer's terminator.
void blankControlBytes(char* text, std::size_t size);
void blankControlBytes(std::string& text);

// A link from a page is followed only when it stays on the service: it begins
// with one "/" (not "//", which names another host) and holds no "@", "\"
// or control byte, which could make the joined address name another host.
bool isServiceLink(std::string_view link);
