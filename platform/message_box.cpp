#include "platform/message_box.h"

#include <atomic>
#include <cstdio>

namespace platform {
namespace {
std::atomic<MessageBoxHandler*> g_handler{nullptr};
}

MessageBoxHandler* InstallMessageBoxHandler(MessageBoxHandler* handler) {
  return g_handler.exchange(handler);
}

BoxAnswer ShowBox(BoxKind kind, const std::string& text) {
  if (MessageBoxHandler* handler = g_handler.load()) return handler->Show(kind, text);
  std::fprintf(stderr, "%s\n", text.c_str());
  return kind == BoxKind::kQuestion ? BoxAnswer::kNo : BoxAnswer::kOk;
}

void ShowMessage(const std::string& text) { ShowBox(BoxKind::kInformation, text); }

void FlashMainWindow() {
  if (MessageBoxHandler* handler = g_handler.load()) handler->FlashMainWindow();
}

}  // namespace platform
