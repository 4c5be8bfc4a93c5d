#include "service/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "poll.h"

namespace {

// Jobs that hold their thread until released.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  std::atomic<int> inside{0}, done{0};

  void pass() {
    ++inside;
    std::unique_lock<std::mutex> lock(mutex);
    opened.wait(lock, [&] { return open; });
    ++done;
  }
  void release() {
    std::lock_guard<std::mutex> guard(mutex);
    open = true;
    opened.notify_all();
  }
};

TEST(WorkerPool, StartsThreadsAsWorkComesUpToItsLimitAndEndsThemWhenIdle) {
  WorkerPool pool(3, std::chrono::milliseconds(50));
  EXPECT_EQ(pool.threads(), 0);
  Gate gate;
  for (int i = 0; i < 5; ++i) pool.run([&] { gate.pass(); });
  // Three run at once; the other two wait for a thread, none is added.
  ASSERT_TRUE(pollUntil([&] { return gate.inside == 3; }));
  EXPECT_EQ(pool.threads(), 3);
  gate.release();
  ASSERT_TRUE(pollUntil([&] { return gate.done == 5; }));
  ASSERT_TRUE(pollUntil([&] { return pool.threads() == 0; }));
  // And again after all of them ended.
  std::atomic<int> ran{0};
  pool.run([&] { ++ran; });
  EXPECT_TRUE(pollUntil([&] { return ran == 1; }));
}

TEST(WorkerPool, ShutdownRunsWhatIsQueuedThenDropsNewWork) {
  std::atomic<int> ran{0};
  {
    WorkerPool pool(1, std::chrono::seconds(10));
    Gate gate;
    pool.run([&] { gate.pass(); });
    for (int i = 0; i < 4; ++i) pool.run([&] { ++ran; });
    ASSERT_TRUE(pollUntil([&] { return gate.inside == 1; }));
    gate.release();
    pool.shutdown();
    EXPECT_EQ(ran, 4);
    EXPECT_EQ(pool.threads(), 0);
    pool.run([&] { ++ran; });
  }
  EXPECT_EQ(ran, 4);
}

}  // namespace
