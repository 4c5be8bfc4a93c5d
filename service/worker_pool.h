#pragma once
// Threads started as work comes, up to a limit, each ending after a while
// with nothing to do: a service at rest keeps no worker. Under Wine every
// thread holds about 1 MiB of resident stack for its whole life, so a pool
// of fixed threads was most of the installed service's memory.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
 public:
  explicit WorkerPool(int maxThreads, std::chrono::milliseconds idle = std::chrono::seconds(10));
  // Runs what is queued, then ends every thread.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues `job` for a free thread, starting one when none is free and the
  // limit allows. After shutdown() a job is dropped.
  void run(std::function<void()> job);
  // Runs what is queued, then ends and joins every thread; runs once.
  void shutdown();
  int threads();  // running now

 private:
  void work();
  void joinFinished(std::unique_lock<std::mutex>& lock);

  const int maxThreads_;
  const std::chrono::milliseconds idle_;
  std::mutex mutex_;
  std::condition_variable wanted_;
  std::deque<std::function<void()>> jobs_;
  std::list<std::thread> running_;
  std::vector<std::thread> finished_;  // ended, not yet joined
  int waiting_ = 0;                    // threads waiting for a job
  bool stopping_ = false;
};
