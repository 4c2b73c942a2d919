// A fixed set of threads running tasks in the order they were handed in. With no threads, a
// task runs at once on the caller's thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvora::archive {

class WorkerPool {
  public:
    explicit WorkerPool(unsigned threads);
    ~WorkerPool();  // drops tasks not yet started, waits for running ones
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    void submit(std::function<void()> task);

  private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace kelvora::archive
