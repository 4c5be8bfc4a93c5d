#include "app/slide.h"

SlideState slideState{};

namespace {

// Two's-complement wrap instead of signed overflow: the counter and the top
// edge are plain 32-bit registers that a pathological run may push past the
// limits.
int32_t wrapAdd(int32_t value, int32_t delta) {
  return static_cast<int32_t>(static_cast<uint32_t>(value) + static_cast<uint32_t>(delta));
}

}  // namespace

uint8_t slideAlpha(int32_t opacity) {
  if (opacity < 0) return 0;
  if (opacity > 255) return 255;
  return static_cast<uint8_t>(opacity);
}

SlideTick slideStep(SlideDirection direction, int32_t currentY, int32_t windowTop,
                    int32_t showTargetY, int32_t hideLimitY, int32_t opacity) {
  if (direction == SlideDirection::In) {
    if (int64_t{currentY} - 2 < showTargetY)
      return {SlideAction::Stop, currentY, opacity, slideAlpha(opacity)};
    return {SlideAction::Move, wrapAdd(windowTop, -2), wrapAdd(opacity, 4), slideAlpha(opacity)};
  }
  if (currentY > hideLimitY)
    return {SlideAction::HideAndStop, currentY, opacity, slideAlpha(opacity)};
  return {SlideAction::Move, wrapAdd(windowTop, 2), wrapAdd(opacity, -4), slideAlpha(opacity)};
}

SlideStart slideStart(bool shown, int32_t windowWidth, int32_t windowHeight, int32_t workRight,
                      int32_t workBottom) {
  SlideStart start{};
  start.shown = !shown;
  if (start.shown) {
    start.x = workRight - windowWidth - 17;
    start.y = workBottom + 2;
    start.hideLimitY = workBottom;
  }
  start.showTargetY = workBottom - windowHeight;
  return start;
}
