#pragma once
// The slide animation on the main window: start, per-tick step and clicks.

#include <windows.h>

#include "app/slide.h"
#include "common/window_ids_win.h"

// Starts a slide opposite to the last one. The caller has found `animating`
// false and set it.
void toggleWindow(HWND window);

// WM_TIMER with TIMER_SLIDE: one step of the running slide.
void onSlideTimer(HWND window);

// A left click on the window or the tray icon: toggles unless a slide runs.
void onWindowClick(HWND window);

// WM_SLIDE_IN_REQUEST: slides in when the window is out and still.
void onSlideInRequest(HWND window);

// From any thread: asks the window's thread for a slide-in.
void requestSlideIn(HWND window);
