#include "app/slide_win.h"

void toggleWindow(HWND window) {
  RECT frame{};
  RECT work{};
  GetWindowRect(window, &frame);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
  SlideStart start = slideStart(slideState.shown, frame.right - frame.left,
                                frame.bottom - frame.top, work.right, work.bottom);

  slideState.shown = start.shown;
  if (start.shown) {
    SetWindowPos(window, nullptr, start.x, start.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    slideState.hideLimitY = start.hideLimitY;
    ShowWindow(window, SW_SHOWNORMAL);
  }
  slideState.showTargetY = start.showTargetY;
  SetForegroundWindow(window);
  SetTimer(window, TIMER_SLIDE, kSlidePeriodMs, nullptr);
}

void onSlideTimer(HWND window) {
  RECT frame{};
  GetWindowRect(window, &frame);
  SlideTick tick = slideStep(slideDirection(slideState), slideState.currentY, frame.top,
                             slideState.showTargetY, slideState.hideLimitY, slideState.opacity);
  slideState.currentY = tick.currentY;
  slideState.opacity = tick.opacity;

  switch (tick.action) {
    case SlideAction::Move:
      SetWindowPos(window, nullptr, frame.left, tick.currentY, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      SetLayeredWindowAttributes(window, 0, tick.alpha, LWA_ALPHA);
      break;
    case SlideAction::Stop:
      KillTimer(window, TIMER_SLIDE);
      slideState.animating = false;
      break;
    case SlideAction::HideAndStop:
      ShowWindow(window, SW_HIDE);
      KillTimer(window, TIMER_SLIDE);
      slideState.animating = false;
      break;
  }
}

void onWindowClick(HWND window) {
  if (slideState.animating) return;
  slideState.animating = true;
  toggleWindow(window);
}

void onSlideInRequest(HWND window) {
  if (slideState.shown || slideState.animating) return;
  slideState.animating = true;
  toggleWindow(window);
}

void requestSlideIn(HWND window) { PostMessageA(window, WM_SLIDE_IN_REQUEST, 0, 0); }
