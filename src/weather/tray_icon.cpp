#include "weather/tray_icon.h"

#include <algorithm>

namespace {

// The seven strokes of a digit: top, upper right, lower right, bottom, lower
// left, upper left, middle.
enum Stroke : uint8_t {
  kTop = 1,
  kUpperRight = 2,
  kLowerRight = 4,
  kBottom = 8,
  kLowerLeft = 16,
  kUpperLeft = 32,
  kMiddle = 64
};

constexpr uint8_t kDigitStrokes[10] = {
    kTop | kUpperRight | kLowerRight | kBottom | kLowerLeft | kUpperLeft,
    kUpperRight | kLowerRight,
    kTop | kUpperRight | kMiddle | kLowerLeft | kBottom,
    kTop | kUpperRight | kMiddle | kLowerRight | kBottom,
    kUpperLeft | kMiddle | kUpperRight | kLowerRight,
    kTop | kUpperLeft | kMiddle | kLowerRight | kBottom,
    kTop | kUpperLeft | kMiddle | kLowerLeft | kLowerRight | kBottom,
    kTop | kUpperRight | kLowerRight,
    kTop | kUpperRight | kLowerRight | kBottom | kLowerLeft | kUpperLeft | kMiddle,
    kTop | kUpperLeft | kUpperRight | kMiddle | kLowerRight | kBottom,
};

uint8_t strokesOf(char c) {
  if (c >= '0' && c <= '9') return kDigitStrokes[c - '0'];
  return c == '-' ? kMiddle : 0;
}

struct Canvas {
  int size;
  std::vector<bool> ink;
  void fill(int x, int y, int width, int height) {
    for (int row = std::max(y, 0); row < std::min(y + height, size); ++row) {
      for (int column = std::max(x, 0); column < std::min(x + width, size); ++column) {
        ink[static_cast<std::size_t>(row) * size + column] = true;
      }
    }
  }
};

void drawCharacter(Canvas& canvas, uint8_t strokes, int x, int y, int width, int height,
                   int stroke) {
  int middle = (height - stroke) / 2;
  if (strokes & kTop) canvas.fill(x, y, width, stroke);
  if (strokes & kMiddle) canvas.fill(x, y + middle, width, stroke);
  if (strokes & kBottom) canvas.fill(x, y + height - stroke, width, stroke);
  if (strokes & kUpperLeft) canvas.fill(x, y, stroke, middle + stroke);
  if (strokes & kUpperRight) canvas.fill(x + width - stroke, y, stroke, middle + stroke);
  if (strokes & kLowerLeft) canvas.fill(x, y + middle, stroke, height - middle);
  if (strokes & kLowerRight) canvas.fill(x + width - stroke, y + middle, stroke, height - middle);
}

// Clear columns between two characters: one outline's width, two beside a 1.
int gapBetween(char left, char right, int outline) {
  return left == '1' || right == '1' ? 2 * outline : outline;
}

}  // namespace

std::vector<uint32_t> trayIconPixels(std::string_view text, int size, bool dimmed) {
  size = std::max(size, 0);
  std::vector<uint32_t> pixels(static_cast<std::size_t>(size) * size, kIconClear);
  text = text.substr(0, 3);
  int count = static_cast<int>(text.size());
  if (count == 0 || size == 0) return pixels;

  // The outline and the gaps grow with the icon. A 1 is a narrow stem with a
  // flag and stands a clear column further from its neighbours, so that
  // "-12" never reads as "-P"; the other characters share what is left, so a
  // 16-pixel icon fits three of them four pixels wide, each with a one-pixel
  // outline, and larger icons keep those proportions.
  int outline = std::max(1, size / 16);
  int stroke = std::max(1, (size + 4) / 14);
  int room = size - 2 * outline;
  int narrow = 2 * stroke;
  int narrowCount = 0, gaps = 0;
  for (int i = 0; i < count; ++i) {
    narrowCount += text[i] == '1';
    if (i > 0) gaps += gapBetween(text[i - 1], text[i], outline);
  }
  int wideCount = count - narrowCount;
  // No wider than when all were wide, so the digits keep one size by count.
  int wide = std::min(room * 3 / 5, (room - (count - 1) * outline) / count);
  if (wideCount > 0) wide = std::min((room - gaps - narrowCount * narrow) / wideCount, wide);
  int height = std::min(room, 2 * wide + 2 * stroke + 1);
  if (wide < 3 * stroke) return pixels;  // too small to be read: no digits at all
  int total = gaps + narrowCount * narrow + wideCount * wide;
  int x = (size - total) / 2;
  int top = (size - height) / 2;

  Canvas canvas{size, std::vector<bool>(pixels.size(), false)};
  for (int i = 0; i < count; ++i) {
    if (i > 0) x += gapBetween(text[i - 1], text[i], outline);
    if (text[i] == '1') {
      canvas.fill(x + narrow - stroke, top, stroke, height);  // the stem
      canvas.fill(x, top + stroke, stroke, stroke);           // the flag
      x += narrow;
    } else {
      drawCharacter(canvas, strokesOf(text[i]), x, top, wide, height, stroke);
      x += wide;
    }
  }
  // Every clear pixel within `outline` of a stroke becomes the outline.
  uint32_t digit = dimmed ? kIconDigitDimmed : kIconDigit;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      std::size_t at = static_cast<std::size_t>(y) * size + x;
      if (canvas.ink[at]) {
        pixels[at] = digit;
        continue;
      }
      bool near = false;
      for (int dy = -outline; dy <= outline && !near; ++dy) {
        for (int dx = -outline; dx <= outline && !near; ++dx) {
          int nx = x + dx, ny = y + dy;
          near = nx >= 0 && ny >= 0 && nx < size && ny < size &&
                 canvas.ink[static_cast<std::size_t>(ny) * size + nx];
        }
      }
      if (near) pixels[at] = kIconOutline;
    }
  }
  return pixels;
}

void addAlertMark(std::vector<uint32_t>& pixels, int size) {
  if (size <= 0 || pixels.size() != static_cast<std::size_t>(size) * size) return;
  // Nine pixels of a 16-pixel icon, in proportion on larger ones; odd, so
  // the "!" has a middle column.
  int mark = std::max(7, size * 9 / 16) | 1;
  int left = size - mark, top = size - mark;
  int middle = mark / 2;
  for (int row = 0; row < mark; ++row) {
    // The triangle widens by one pixel each side every second row.
    int half = row * middle / (mark - 1);
    for (int column = middle - half; column <= middle + half; ++column) {
      bool edge = row == mark - 1 || column == middle - half || column == middle + half;
      bool bang = column == middle && row >= mark / 3 && (row < mark - 3 || row == mark - 2);
      pixels[static_cast<std::size_t>(top + row) * size + left + column] =
          edge || bang ? kIconOutline : kAlertMarkFill;
    }
  }
}
