#include "tests/support/queue_target.h"

namespace testing_support {

bool QueueTarget::Post(std::uint32_t msg, platform::WParam w, platform::LParam l) {
  // Notified under the lock: a waiter may destroy this target as soon as it sees the message.
  std::lock_guard lock(mutex_);
  queue_.push_back({msg, w, l});
  seen_.push_back({msg, w, l});
  cv_.notify_all();
  return true;
}

std::optional<PostedMessage> QueueTarget::WaitFor(std::uint32_t msg,
                                                  std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    while (!queue_.empty()) {
      const PostedMessage m = queue_.front();
      queue_.pop_front();
      if (m.msg == msg) return m;
    }
    if (cv_.wait_until(lock, deadline) == std::cv_status::timeout && queue_.empty())
      return std::nullopt;
  }
}

std::vector<PostedMessage> QueueTarget::All() const {
  std::lock_guard lock(mutex_);
  return seen_;
}

std::vector<PostedMessage> QueueTarget::Take() {
  std::lock_guard lock(mutex_);
  std::vector<PostedMessage> out(queue_.begin(), queue_.end());
  queue_.clear();
  return out;
}

}  // namespace testing_support
