#include <windows.h>

#include <gtest/gtest.h>

#include <thread>

#include "app/slide_win.h"
#include "win_support.h"

namespace {

LRESULT CALLBACK testWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (wParam == TIMER_SLIDE) onSlideTimer(window);
      return 0;
    case WM_LBUTTONDOWN:
      onWindowClick(window);
      return 0;
    case WM_SLIDE_IN_REQUEST:
      onSlideInRequest(window);
      return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

constexpr int kWidth = 180;
constexpr int kHeight = 90;
constexpr int kMoves = kHeight / 2 + 1;

struct Seen {
  RECT frame;
  bool visible;
  bool alphaSet;
  BYTE alpha;
};

Seen look(HWND window) {
  Seen seen{};
  GetWindowRect(window, &seen.frame);
  seen.visible = IsWindowVisible(window) != FALSE;
  DWORD flags = 0;
  seen.alphaSet = GetLayeredWindowAttributes(window, nullptr, &seen.alpha, &flags) != FALSE &&
                  (flags & LWA_ALPHA) != 0;
  return seen;
}

bool slideTimerPending(HWND window) {
  MSG msg;
  return PeekMessageA(&msg, window, WM_TIMER, WM_TIMER, PM_NOREMOVE) != FALSE &&
         msg.wParam == TIMER_SLIDE;
}

class SlideWindow : public testing::Test {
 protected:
  void SetUp() override {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = testWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SkyvaneSlideTest";
    RegisterClassA(&windowClass);
    window = CreateWindowExA(WS_EX_LAYERED | WS_EX_TOOLWINDOW, "SkyvaneSlideTest", "Skyvane",
                             WS_POPUP | WS_VISIBLE | WS_SYSMENU, 0, 0, kWidth, kHeight, nullptr,
                             nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    slideState = SlideState{};
    slideState.currentY = GetSystemMetrics(SM_CYSCREEN);
    slideState.opacity = kSlideStartOpacity;
  }
  void TearDown() override {
    if (window) DestroyWindow(window);
  }

  int restX() const { return work.right - kWidth - 17; }
  int restTop() const { return work.bottom + 2 - 2 * kMoves; }

  // Ticks a slide to its end, checking the window after every tick. The
  // applied alpha of move k (from 1) is `firstAlpha + alphaStep * (k - 1)`.
  void tickThrough(int firstTop, int topStep, int firstAlpha, int alphaStep, bool endsVisible) {
    for (int k = 1; k <= kMoves; ++k) {
      onSlideTimer(window);
      Seen seen = look(window);
      SCOPED_TRACE(testing::Message() << "move " << k);
      EXPECT_EQ(seen.frame.left, restX());
      EXPECT_EQ(seen.frame.top, firstTop + topStep * (k - 1));
      EXPECT_EQ(seen.frame.right - seen.frame.left, kWidth);
      EXPECT_EQ(seen.frame.bottom - seen.frame.top, kHeight);
      EXPECT_TRUE(seen.visible);
      EXPECT_TRUE(seen.alphaSet);
      EXPECT_EQ(seen.alpha, firstAlpha + alphaStep * (k - 1));
      EXPECT_TRUE(slideState.animating);
      EXPECT_EQ(slideState.currentY, seen.frame.top);
    }
    Seen before = look(window);
    onSlideTimer(window);
    Seen after = look(window);
    EXPECT_FALSE(slideState.animating);
    EXPECT_EQ(after.frame.top, before.frame.top);
    EXPECT_EQ(after.alpha, before.alpha);
    EXPECT_EQ(after.visible, endsVisible);
  }

  HWND window = nullptr;
  RECT work{};
};

TEST_F(SlideWindow, SlideInAndOutTickByTick) {
  slideState.animating = true;
  toggleWindow(window);
  Seen start = look(window);
  EXPECT_TRUE(slideState.shown);
  EXPECT_EQ(start.frame.left, restX());
  EXPECT_EQ(start.frame.top, work.bottom + 2);
  EXPECT_TRUE(start.visible);
  EXPECT_EQ(slideState.hideLimitY, work.bottom);
  EXPECT_EQ(slideState.showTargetY, work.bottom - kHeight);

  tickThrough(work.bottom, -2, 31, 4, true);
  EXPECT_EQ(look(window).frame.top, restTop());
  EXPECT_EQ(slideState.opacity, 31 + 4 * kMoves);

  slideState.animating = true;
  toggleWindow(window);
  EXPECT_FALSE(slideState.shown);
  EXPECT_EQ(look(window).frame.top, restTop());  // a slide-out starts where it stands

  tickThrough(restTop() + 2, 2, 31 + 4 * kMoves, -4, false);
  EXPECT_EQ(look(window).frame.top, work.bottom + 2);
  EXPECT_EQ(slideState.opacity, 31);
}

TEST_F(SlideWindow, RealTimerDrivesSlidesAndIsKilledAtTheEnd) {
  SendMessageA(window, WM_LBUTTONDOWN, 0, 0);
  EXPECT_TRUE(slideState.animating);
  ASSERT_TRUE(waitFor([] { return !slideState.animating; }, 10000));
  Seen shown = look(window);
  EXPECT_EQ(shown.frame.left, restX());
  EXPECT_EQ(shown.frame.top, restTop());
  EXPECT_EQ(shown.alpha, 31 + 4 * (kMoves - 1));
  EXPECT_TRUE(shown.visible);
  // KillTimer fails only for a timer that no longer exists.
  EXPECT_FALSE(KillTimer(window, TIMER_SLIDE));
  EXPECT_FALSE(slideTimerPending(window));

  SendMessageA(window, WM_LBUTTONDOWN, 0, 0);
  ASSERT_TRUE(waitFor([] { return !slideState.animating; }, 10000));
  Seen hidden = look(window);
  EXPECT_EQ(hidden.frame.top, work.bottom + 2);
  EXPECT_EQ(hidden.alpha, 35);
  EXPECT_FALSE(hidden.visible);
  EXPECT_EQ(slideState.opacity, 31);
  // KillTimer fails only for a timer that no longer exists.
  EXPECT_FALSE(KillTimer(window, TIMER_SLIDE));
  EXPECT_FALSE(slideTimerPending(window));
}

TEST_F(SlideWindow, ClicksAndRequestsDuringASlideChangeNothing) {
  for (bool slidingIn : {true, false}) {
    SCOPED_TRACE(slidingIn ? "sliding in" : "sliding out");
    onWindowClick(window);
    for (int k = 0; k < 10; ++k) onSlideTimer(window);
    SlideState before = slideState;
    Seen seenBefore = look(window);

    onWindowClick(window);
    SendMessageA(window, WM_LBUTTONDOWN, 0, 0);
    onSlideInRequest(window);

    EXPECT_TRUE(slideState.animating);
    EXPECT_EQ(slideState.shown, slidingIn);
    EXPECT_EQ(slideState.currentY, before.currentY);
    EXPECT_EQ(slideState.opacity, before.opacity);
    EXPECT_EQ(slideState.showTargetY, before.showTargetY);
    EXPECT_EQ(slideState.hideLimitY, before.hideLimitY);
    EXPECT_EQ(look(window).frame.top, seenBefore.frame.top);

    for (int k = 0; k < 1000 && slideState.animating; ++k) onSlideTimer(window);
    EXPECT_FALSE(slideState.animating);
    EXPECT_EQ(look(window).frame.top, slidingIn ? restTop() : work.bottom + 2);
  }
  EXPECT_EQ(slideState.opacity, 31);
}

TEST_F(SlideWindow, RequestFromAnotherThreadSlidesInOnTheWindowThread) {
  std::thread worker([this] { requestSlideIn(window); });
  worker.join();
  EXPECT_FALSE(slideState.animating);  // nothing runs until the message arrives
  ASSERT_TRUE(waitFor([] { return slideState.shown && !slideState.animating; }, 10000));
  EXPECT_EQ(look(window).frame.top, restTop());

  // Shown and still: a further request leaves the window standing.
  requestSlideIn(window);
  pumpMessages(100);
  EXPECT_TRUE(slideState.shown);
  EXPECT_FALSE(slideState.animating);
  EXPECT_EQ(look(window).frame.top, restTop());
}

}  // namespace
