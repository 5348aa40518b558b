// The UI-thread target factory and the thread-based target used when none is installed.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/message.h"

namespace platform {

namespace {

std::atomic<UiTargetFactory> g_factory{nullptr};

struct Posted {
  std::uint32_t msg;
  WParam w;
  LParam l;
};

// Delivers on a dispatcher thread of its own; destruction handles what is queued, then joins.
class ThreadMessageTarget : public MessageTarget {
 public:
  explicit ThreadMessageTarget(MessageHandler handler)
      : handler_(std::move(handler)), thread_(&ThreadMessageTarget::Run, this) {}
  ~ThreadMessageTarget() override {
    {
      std::lock_guard lock(mutex_);
      ending_ = true;
    }
    wake_.notify_one();
    thread_.join();
  }

  bool Post(std::uint32_t msg, WParam w, LParam l) override {
    {
      std::lock_guard lock(mutex_);
      if (ending_) return false;
      queue_.push_back({msg, w, l});
    }
    wake_.notify_one();
    return true;
  }

 private:
  void Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return ending_ || !queue_.empty(); });
      if (queue_.empty()) return;
      const Posted next = queue_.front();
      queue_.pop_front();
      lock.unlock();
      if (handler_) handler_(next.msg, next.w, next.l);
      lock.lock();
    }
  }

  const MessageHandler handler_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<Posted> queue_;
  bool ending_ = false;
  std::thread thread_;  // last: starts after everything it uses
};

}  // namespace

UiTargetFactory InstallUiTargetFactory(UiTargetFactory factory) {
  return g_factory.exchange(factory);
}

std::unique_ptr<MessageTarget> CreateUiMessageTarget(const std::string& name,
                                                     MessageHandler handler) {
  if (UiTargetFactory factory = g_factory.load()) return factory(name, std::move(handler));
  return std::make_unique<ThreadMessageTarget>(std::move(handler));
}

}  // namespace platform
