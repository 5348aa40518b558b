#include "platform/qt/qt_message_target.h"

#include <QCoreApplication>

namespace platform {

QEvent::Type MessageEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

bool QtMessageTarget::Post(std::uint32_t msg, WParam w, LParam l) {
  QCoreApplication::postEvent(receiver_, new MessageEvent(msg, w, l));
  return true;
}

void QtMessageTarget::DispatchPending() {
  QCoreApplication::sendPostedEvents(receiver_, MessageEvent::Type());
}

}  // namespace platform
