// Auto-reset event: Set() releases exactly one waiter (or the next one to wait).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace platform {

class Event {
 public:
  void Set();
  // Waits until set or until `timeout` passes; returns true when it was set (and resets it).
  bool Wait(std::chrono::milliseconds timeout);
  void Wait();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool signalled_ = false;
};

}  // namespace platform
