#include "service/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "poll.h"

TEST(WorkerPool, StartsThreadsAsWorkComesUpToItsLimitAndEndsThemWhenIdle) {
  WorkerPool pool(3, std::chrono::milliseconds(50));
  EXPECT_EQ(pool.threads(), 0);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> inside{0}, done{0};
  for (int i = 0; i < 5; ++i) pool.run([&] { ++inside, released.wait(), ++done; });
  // Three run at once; the other two wait for a thread, none is added.
  ASSERT_TRUE(pollUntil([&] { return inside == 3; }));
  EXPECT_EQ(pool.threads(), 3);
  release.set_value();
  ASSERT_TRUE(pollUntil([&] { return done == 5; }));
  ASSERT_TRUE(pollUntil([&] { return pool.threads() == 0; }));
  pool.run([&] { ++done; });
  EXPECT_TRUE(pollUntil([&] { return done == 6; }));
}

TEST(WorkerPool, ShutdownRunsWhatIsQueuedThenDropsNewWork) {
  std::atomic<int> ran{0};
  {
    WorkerPool pool(1, std::chrono::seconds(10));
    std::promise<void> release;
    pool.run([&] { release.get_future().wait(); });
    for (int i = 0; i < 4; ++i) pool.run([&] { ++ran; });
    release.set_value();
    pool.shutdown();
    EXPECT_EQ(ran, 4);
    pool.run([&] { ++ran; });
  }
  EXPECT_EQ(ran, 4);
}
