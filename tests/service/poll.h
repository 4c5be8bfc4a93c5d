#pragma once
// The native service tests' one way to wait: poll a condition, never sleep
// a fixed time.

#include <chrono>
#include <thread>

// Polls `done` every 10 ms until it holds or about 5 s pass; whether it held.
template <typename Condition>
bool pollUntil(Condition done) {
  for (int i = 0; i < 500; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return done();
}
