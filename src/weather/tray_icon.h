#pragma once
// The temperature drawn as the tray icon's picture: digits and a minus sign
// of straight strokes, white with a dark outline so they read on light and
// dark taskbars alike, sized to the icon. Knows no window system: the shell
// makes an icon of the pixels.

#include <cstdint>
#include <string_view>
#include <vector>

// Colours as 0xAARRGGBB, alpha not premultiplied.
inline constexpr uint32_t kIconDigit = 0xFFFFFFFF;
// An old reading: the digits greyed, still clear of the outline.
inline constexpr uint32_t kIconDigitDimmed = 0xFF9A9A9A;
inline constexpr uint32_t kIconOutline = 0xFF1E1E1E;
inline constexpr uint32_t kIconClear = 0x00000000;

// The `size` by `size` pixels, top row first, of an icon showing `text`
// (digits and '-', at most three; other characters are left blank).
std::vector<uint32_t> trayIconPixels(std::string_view text, int size, bool dimmed);

// The warning mark of a severe alert: an amber triangle with a dark "!" and
// outline, in the bottom right corner of the `size` by `size` pixels, over
// whatever they show.
inline constexpr uint32_t kAlertMarkFill = 0xFFFFB000;
void addAlertMark(std::vector<uint32_t>& pixels, int size);
