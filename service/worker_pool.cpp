#include "service/worker_pool.h"

#include <algorithm>
#include <system_error>

WorkerPool::WorkerPool(int maxThreads, std::chrono::milliseconds idle)
    : maxThreads_(std::max(1, maxThreads)), idle_(idle) {}

WorkerPool::~WorkerPool() { shutdown(); }

void WorkerPool::run(std::function<void()> job) {
  std::unique_lock<std::mutex> lock(mutex_);
  joinFinished(lock);
  if (stopping_) return;
  jobs_.push_back(std::move(job));
  // Every queued job has a waiting thread, or a new one while the limit
  // allows; past it, jobs wait for the threads there are.
  if (jobs_.size() > std::size_t(waiting_) && int(running_.size()) < maxThreads_) {
    try {
      running_.emplace_back([this] { work(); });
      return;
    } catch (const std::system_error&) {
      // Out of threads for now: the job waits for one there is, or for the
      // next run() to try again, rather than taking the caller down.
    }
  }
  wanted_.notify_one();
}

void WorkerPool::shutdown() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (stopping_) return;
  stopping_ = true;
  wanted_.notify_all();
  std::list<std::thread> running = std::move(running_);
  lock.unlock();
  for (std::thread& thread : running) thread.join();
  lock.lock();
  joinFinished(lock);
}

int WorkerPool::threads() {
  std::lock_guard<std::mutex> guard(mutex_);
  return int(running_.size());
}

void WorkerPool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++waiting_;
    bool got = wanted_.wait_for(lock, idle_, [&] { return stopping_ || !jobs_.empty(); });
    --waiting_;
    if (!jobs_.empty()) {
      std::function<void()> job = std::move(jobs_.front());
      jobs_.pop_front();
      lock.unlock();
      job();
      lock.lock();
      continue;
    }
    if (got) return;  // stopping, nothing left: shutdown() joins this thread
    break;
  }
  // Idle for long enough: hand this thread's own handle over to be joined by
  // the next caller, since a thread cannot join itself.
  auto self = std::find_if(running_.begin(), running_.end(), [](const std::thread& thread) {
    return thread.get_id() == std::this_thread::get_id();
  });
  if (self != running_.end()) {
    finished_.push_back(std::move(*self));
    running_.erase(self);
  }
}

void WorkerPool::joinFinished(std::unique_lock<std::mutex>& lock) {
  if (finished_.empty()) return;
  std::vector<std::thread> finished = std::move(finished_);
  finished_.clear();
  lock.unlock();
  for (std::thread& thread : finished) thread.join();
  lock.lock();
}
