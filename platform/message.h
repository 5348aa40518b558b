// Window handles and posted messages between threads.
//
// A window handle is a pointer to a MessageTarget. Post() may be called from any thread and
// never blocks; the target delivers the message later on the thread that owns it (the UI
// thread for widgets). A null handle posts nothing. Message numbers follow the classic
// WM_USER + n numbering so that every receiver keeps its documented values.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace platform {

using WParam = std::uintptr_t;
using LParam = std::intptr_t;

constexpr std::uint32_t kWmUser = 0x400;

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  // Queues (msg, w, l) for delivery on the owner's thread. Returns false if it was not queued.
  virtual bool Post(std::uint32_t msg, WParam w, LParam l) = 0;
};

using WindowHandle = MessageTarget*;

// Posts to `target`; returns false and does nothing for a null handle.
bool PostMessage(WindowHandle target, std::uint32_t msg, WParam w = 0, LParam l = 0);

// Hidden windows of the codec layer, which does not link the UI toolkit: a target whose
// handler runs on the program's UI thread, one message at a time, in posting order.
using MessageHandler = std::function<void(std::uint32_t msg, WParam w, LParam l)>;
using UiTargetFactory = std::unique_ptr<MessageTarget> (*)(const std::string& name,
                                                           MessageHandler handler);
// The application installs its toolkit's factory at start, before any codec runs; returns
// the previous one (null: none).
UiTargetFactory InstallUiTargetFactory(UiTargetFactory factory);
// A new target named `name` that hands every message to `handler` on the UI thread. Without
// an installed factory (tests, tools) the handler runs on a thread of the target's own, which
// the target's destruction joins.
std::unique_ptr<MessageTarget> CreateUiMessageTarget(const std::string& name,
                                                     MessageHandler handler);

}  // namespace platform
