#pragma once
// The slide animation's state and its pure decisions: where a slide starts
// and what each 10 ms tick does. The Win32 side only gathers the window's
// rectangle and the work area and carries the decisions out.

#include <cstdint>

struct SlideState {
  bool shown;      // direction of the last slide started: true = in
  bool animating;  // a slide runs; only the step that ends it clears it
  int32_t currentY;
  int32_t showTargetY;  // where a slide-in ends: work-area bottom - height
  int32_t hideLimitY;   // work-area bottom captured when a slide-in starts
  int32_t opacity;      // counter applied by the next step; never reset
};

// The one record of the program. The creation sequence sets currentY to the
// screen height and opacity to 31.
extern SlideState slideState;

inline constexpr int32_t kSlideStartOpacity = 31;

enum class SlideDirection { In, Out };

inline SlideDirection slideDirection(const SlideState& state) {
  return state.shown ? SlideDirection::In : SlideDirection::Out;
}

enum class SlideAction { Move, Stop, HideAndStop };

struct SlideTick {
  SlideAction action;
  int32_t currentY;  // Move: the new top edge; otherwise unchanged
  int32_t opacity;   // the counter after the step
  uint8_t alpha;     // Move: the opacity to apply, the old counter held to 0..255
};

// One tick. The end test looks at currentY (the top edge the last step set),
// while a move starts from the window's actual top edge.
SlideTick slideStep(SlideDirection direction, int32_t currentY, int32_t windowTop,
                    int32_t showTargetY, int32_t hideLimitY, int32_t opacity);

// The opacity the platform gets for a counter value: held at the 8-bit range
// rather than wrapped, so a tall window never flashes transparent.
uint8_t slideAlpha(int32_t opacity);

struct SlideStart {
  bool shown;           // the flipped direction
  int32_t x, y;         // slide-in only: where the window is placed first
  int32_t showTargetY;  // set in either direction
  int32_t hideLimitY;   // slide-in only
};

// What starting a slide does, given the last direction, the window's size and
// the work area's right and bottom edges. A slide-in places the window with
// its top edge 2 pixels below the work area and its right edge 17 pixels left
// of the work area's right edge; a slide-out starts wherever the window is.
SlideStart slideStart(bool shown, int32_t windowWidth, int32_t windowHeight, int32_t workRight,
                      int32_t workBottom);
