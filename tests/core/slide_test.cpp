#include "app/slide.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// A stand-in for the platform: the window's rectangle, visibility and applied
// alpha, and the work area, driven through the pure decisions exactly as the
// timer handler and the toggle drive the real window.
// The start values are the creation sequence's on a 1024 by 768 screen.
struct Desk {
  SlideState state{false, false, 768, 0, 0, kSlideStartOpacity};
  int32_t workRight = 1024;
  int32_t workBottom = 738;
  int32_t x = 0, top = 0, width = 150, height = 100;
  bool visible = true;
};

struct Move {
  int32_t top;
  int alpha;
  bool operator==(const Move&) const = default;
};

struct Slide {
  std::vector<Move> moves;
  int ticks = 0;
  SlideAction end = SlideAction::Move;
};

Slide slide(Desk& desk) {
  desk.state.animating = true;
  SlideStart start =
      slideStart(desk.state.shown, desk.width, desk.height, desk.workRight, desk.workBottom);
  desk.state.shown = start.shown;
  if (start.shown) {
    desk.x = start.x;
    desk.top = start.y;
    desk.state.hideLimitY = start.hideLimitY;
    desk.visible = true;
  }
  desk.state.showTargetY = start.showTargetY;

  Slide result;
  while (desk.state.animating && result.ticks < 10000) {
    ++result.ticks;
    const SlideState& s = desk.state;
    SlideTick tick =
        slideStep(slideDirection(s), s.currentY, desk.top, s.showTargetY, s.hideLimitY, s.opacity);
    desk.state.currentY = tick.currentY;
    desk.state.opacity = tick.opacity;
    if (tick.action == SlideAction::Move) {
      desk.top = tick.currentY;
      result.moves.push_back({tick.currentY, tick.alpha});
    } else {
      if (tick.action == SlideAction::HideAndStop) desk.visible = false;
      desk.state.animating = false;
      result.end = tick.action;
    }
  }
  return result;
}

struct WindowCase {
  const char* name;
  int32_t width, height, workRight, workBottom, screenHeight;
  int32_t x;        // where the slide-in places the window
  int moves;        // per slide, in either direction
  int32_t restTop;  // top edge after the slide-in
  int restAlpha;    // alpha applied by the last move in
};

class FullSlide : public testing::TestWithParam<WindowCase> {};

TEST_P(FullSlide, InThenOutRisesFadesAndReturnsTheCounter) {
  const WindowCase& c = GetParam();
  Desk desk;
  desk.width = c.width;
  desk.height = c.height;
  desk.workRight = c.workRight;
  desk.workBottom = c.workBottom;
  desk.state.currentY = c.screenHeight;

  Slide in = slide(desk);
  EXPECT_EQ(desk.x, c.x);
  ASSERT_EQ(in.moves.size(), static_cast<size_t>(c.moves));
  EXPECT_EQ(in.ticks, c.moves + 1);
  EXPECT_EQ(in.end, SlideAction::Stop);
  EXPECT_EQ(in.moves.front(), (Move{c.workBottom, 31}));
  EXPECT_EQ(in.moves.back(), (Move{c.restTop, c.restAlpha}));
  for (size_t i = 1; i < in.moves.size(); ++i)
    EXPECT_EQ(in.moves[i].top, in.moves[i - 1].top - 2) << "move " << i;
  EXPECT_TRUE(desk.visible);
  EXPECT_EQ(desk.top, c.restTop);
  EXPECT_EQ(desk.state.opacity, 31 + 4 * c.moves);

  Slide out = slide(desk);
  ASSERT_EQ(out.moves.size(), static_cast<size_t>(c.moves));
  EXPECT_EQ(out.ticks, c.moves + 1);
  EXPECT_EQ(out.end, SlideAction::HideAndStop);
  EXPECT_EQ(out.moves.front(), (Move{c.restTop + 2, 31 + 4 * c.moves}));
  EXPECT_EQ(out.moves.back(), (Move{c.workBottom + 2, 35}));
  EXPECT_FALSE(desk.visible);
  EXPECT_EQ(desk.x, c.x);
  EXPECT_EQ(desk.state.opacity, 31);
}

INSTANTIATE_TEST_SUITE_P(
    Figures, FullSlide,
    testing::Values(WindowCase{"Even100", 150, 100, 1024, 738, 768, 857, 51, 638, 231},
                    // Odd heights end one pixel below the target.
                    WindowCase{"Odd101", 150, 101, 1024, 738, 768, 857, 51, 638, 231},
                    // Taskbar at the top: the window rises from just below the screen.
                    WindowCase{"TaskbarAtTop", 150, 100, 1024, 768, 768, 857, 51, 668, 231},
                    WindowCase{"DefaultSkin", 180, 90, 1280, 1024, 1024, 1083, 46, 934, 211},
                    WindowCase{"OnePixel", 10, 1, 1024, 738, 768, 997, 1, 738, 31},
                    // Largest height whose counter stays within 8 bits.
                    WindowCase{"Tallest8Bit", 150, 111, 1024, 738, 768, 857, 56, 628, 251}),
    [](const testing::TestParamInfo<WindowCase>& info) { return info.param.name; });

TEST(Slide, TenShowHidePairsRepeatExactly) {
  Desk desk;
  Slide firstIn = slide(desk);
  Slide firstOut = slide(desk);
  for (int pair = 2; pair <= 10; ++pair) {
    Slide in = slide(desk);
    Slide out = slide(desk);
    EXPECT_EQ(in.moves, firstIn.moves) << "pair " << pair;
    EXPECT_EQ(out.moves, firstOut.moves) << "pair " << pair;
    EXPECT_EQ(in.ticks, firstIn.ticks);
    EXPECT_EQ(out.ticks, firstOut.ticks);
  }
  EXPECT_EQ(desk.state.opacity, 31);
  EXPECT_FALSE(desk.state.animating);
  EXPECT_FALSE(desk.state.shown);
}

// The slide-out ends at the bottom captured when the slide-in started, whatever
// the work area has become meanwhile.
TEST(Slide, WorkAreaChangedWhileShownKeepsTheCapturedLimit) {
  for (int32_t newBottom : {700, 738, 768}) {
    Desk desk;
    slide(desk);
    desk.workBottom = newBottom;
    Slide out = slide(desk);
    ASSERT_EQ(out.moves.size(), 51u) << newBottom;
    EXPECT_EQ(out.moves.back(), (Move{740, 35})) << newBottom;
    EXPECT_EQ(out.end, SlideAction::HideAndStop);
    EXPECT_EQ(desk.state.showTargetY, newBottom - 100);
    EXPECT_EQ(desk.state.opacity, 31);

    // The next slide-in starts from the new bottom.
    Slide in = slide(desk);
    ASSERT_FALSE(in.moves.empty()) << newBottom;
    EXPECT_EQ(in.moves.front().top, newBottom) << newBottom;
  }
}

TEST(Slide, TallWindowHoldsAlphaAtOpaqueWhileCounterRunsOn) {
  Desk desk;
  desk.height = 200;
  Slide in = slide(desk);
  ASSERT_EQ(in.moves.size(), 101u);
  int previous = 0;
  for (const Move& m : in.moves) {
    EXPECT_GE(m.alpha, previous) << "top " << m.top;
    previous = m.alpha;
  }
  EXPECT_EQ(in.moves[56].alpha, 255);  // counter 255 exactly
  EXPECT_EQ(in.moves.back().alpha, 255);
  EXPECT_EQ(desk.state.opacity, 31 + 4 * 101);

  Slide out = slide(desk);
  EXPECT_EQ(out.moves.front().alpha, 255);
  EXPECT_EQ(out.moves.back(), (Move{740, 35}));
  EXPECT_EQ(desk.state.opacity, 31);
}

// The end tests sit exactly at their boundaries, and a move starts from the
// window's actual top edge.
TEST(SlideStep, Boundaries) {
  struct {
    SlideDirection direction;
    int32_t currentY, windowTop, target, limit, opacity;
    SlideAction action;
    int32_t newY, newOpacity, alpha;
  } cases[] = {
      {SlideDirection::In, 640, 640, 638, 0, 227, SlideAction::Move, 638, 231, 227},
      {SlideDirection::In, 639, 639, 638, 0, 231, SlideAction::Stop, 639, 231, 231},
      {SlideDirection::In, 740, 1026, 924, 0, 31, SlideAction::Stop, 740, 31, 31},
      {SlideDirection::In, 768, 740, 638, 0, 31, SlideAction::Move, 738, 35, 31},
      {SlideDirection::Out, 738, 738, 0, 738, 39, SlideAction::Move, 740, 35, 39},
      {SlideDirection::Out, 739, 739, 0, 738, 35, SlideAction::HideAndStop, 739, 35, 35},
      {SlideDirection::Out, 600, 1026, 0, 738, 31, SlideAction::Move, 1028, 27, 31},
      {SlideDirection::Out, 0, 0, 0, 738, 1, SlideAction::Move, 2, -3, 1},
      {SlideDirection::Out, 2, 2, 0, 738, -3, SlideAction::Move, 4, -7, 0},
      // Extreme registers wrap instead of overflowing.
      {SlideDirection::In, INT_MIN, 0, INT_MIN, 0, 0, SlideAction::Stop, INT_MIN, 0, 0},
      {SlideDirection::In, INT_MAX, INT_MIN, 0, 0, INT_MAX, SlideAction::Move, INT_MAX - 1,
       INT_MIN + 3, 255},
  };
  for (const auto& c : cases) {
    SlideTick tick = slideStep(c.direction, c.currentY, c.windowTop, c.target, c.limit, c.opacity);
    SCOPED_TRACE(testing::Message() << "currentY " << c.currentY << " top " << c.windowTop);
    EXPECT_EQ(tick.action, c.action);
    EXPECT_EQ(tick.currentY, c.newY);
    EXPECT_EQ(tick.opacity, c.newOpacity);
    if (c.action == SlideAction::Move) {
      EXPECT_EQ(tick.alpha, c.alpha);
    }
  }
}

}  // namespace
