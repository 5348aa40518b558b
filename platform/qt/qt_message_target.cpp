#include "platform/qt/qt_message_target.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QThread>
#include <atomic>

namespace platform {
namespace {

// Qt's event queue locks are invisible to ThreadSanitizer (they are futexes inside Qt), so the
// hand-over of a posted message is also published through this counter: every Post is a
// release operation on it and every event delivery on the UI thread an acquire, which makes
// what the poster wrote before posting visible to the handler, to the tools as to the reader.
std::atomic<std::uint64_t> g_postSequence{0};

class DeliveryFence : public QObject {
 public:
  bool eventFilter(QObject*, QEvent*) override {
    AcquirePostedMessages();
    return false;
  }
};

void InstallDeliveryFence() {
  static QPointer<DeliveryFence> fence;  // owned by the application object
  QCoreApplication* app = QCoreApplication::instance();
  if (fence || app == nullptr || QThread::currentThread() != app->thread()) return;
  fence = new DeliveryFence;
  fence->setParent(app);
  app->installEventFilter(fence);
}

// The receiver of a target made by the factory: runs the handler for each message.
class UiReceiver : public QObject {
 public:
  explicit UiReceiver(MessageHandler handler) : handler_(std::move(handler)) {}
  bool event(QEvent* e) override {
    if (e->type() != MessageEvent::Type()) return QObject::event(e);
    const auto* message = static_cast<MessageEvent*>(e);
    if (handler_) handler_(message->msg, message->w, message->l);
    return true;
  }

 private:
  const MessageHandler handler_;
};

class UiMessageTarget : public MessageTarget {
 public:
  UiMessageTarget(const std::string& name, MessageHandler handler)
      : receiver_(new UiReceiver(std::move(handler))), poster_(receiver_) {
    receiver_->setObjectName(QString::fromStdString(name));
    receiver_->moveToThread(QCoreApplication::instance()->thread());
  }
  ~UiMessageTarget() override { receiver_->deleteLater(); }
  bool Post(std::uint32_t msg, WParam w, LParam l) override { return poster_.Post(msg, w, l); }

 private:
  UiReceiver* receiver_;  // deleted on its own thread
  QtMessageTarget poster_;
};

std::unique_ptr<MessageTarget> MakeUiMessageTarget(const std::string& name,
                                                   MessageHandler handler) {
  return std::make_unique<UiMessageTarget>(name, std::move(handler));
}

}  // namespace

void InstallQtUiTargetFactory() {
  InstallDeliveryFence();
  InstallUiTargetFactory(&MakeUiMessageTarget);
}

QEvent::Type MessageEvent::Type() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QtMessageTarget::QtMessageTarget(QObject* receiver) : receiver_(receiver) {
  InstallDeliveryFence();
}

bool QtMessageTarget::Post(std::uint32_t msg, WParam w, LParam l) {
  auto* event = new MessageEvent(msg, w, l);
  g_postSequence.fetch_add(1, std::memory_order_release);
  QCoreApplication::postEvent(receiver_, event);
  return true;
}

void QtMessageTarget::DispatchPending() {
  QCoreApplication::sendPostedEvents(receiver_, MessageEvent::Type());
}

void AcquirePostedMessages() { g_postSequence.load(std::memory_order_acquire); }

void ServeEventsUntil(const std::function<bool()>& done) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace platform
