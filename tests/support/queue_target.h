// Test window: a thread-safe queue of posted messages.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/message.h"

namespace testing_support {

struct PostedMessage {
  std::uint32_t msg;
  platform::WParam w;
  platform::LParam l;
};

class QueueTarget : public platform::MessageTarget {
 public:
  bool Post(std::uint32_t msg, platform::WParam w, platform::LParam l) override;
  // Removes and returns messages up to and including the first `msg`; nullopt on time-out.
  std::optional<PostedMessage> WaitFor(
      std::uint32_t msg, std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Everything posted so far (not removed).
  std::vector<PostedMessage> All() const;
  std::vector<PostedMessage> Take();

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<PostedMessage> queue_;
  std::vector<PostedMessage> seen_;
};

}  // namespace testing_support
