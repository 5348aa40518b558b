#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <condition_variable>
#include <mutex>

#include "platform/qt/qt_message_target.h"

namespace platform {

namespace {

constexpr std::uint32_t WM_SHOW_BOX = kWmUser + 1;  // lParam: the BoxRequest

// A box asked for by a worker, which waits until `done`.
struct BoxRequest {
  BoxRequest(BoxKind kind, const QString& text) : kind(kind), text(text) {}
  const BoxKind kind;
  const QString text;
  std::mutex mutex;
  std::condition_variable answered;
  bool done = false;
  BoxAnswer answer = BoxAnswer::kOk;
};

}  // namespace

// Lives on the UI thread and shows the boxes that workers post to it.
class QtMessageBoxHandler::Carrier : public QObject {
 public:
  explicit Carrier(QtMessageBoxHandler* handler) : handler_(handler) {}
  QtMessageTarget window{this};

  bool event(QEvent* e) override {
    if (e->type() != MessageEvent::Type()) return QObject::event(e);
    auto* request = reinterpret_cast<BoxRequest*>(static_cast<MessageEvent*>(e)->l);
    const BoxAnswer answer = handler_->ShowOnUiThread(request->kind, request->text);
    // Notified under the lock: the worker owns the request and ends it as soon as it wakes.
    const std::lock_guard lock(request->mutex);
    request->answer = answer;
    request->done = true;
    request->answered.notify_one();
    return true;
  }

 private:
  QtMessageBoxHandler* handler_;
};

QtMessageBoxHandler::QtMessageBoxHandler() : carrier_(std::make_unique<Carrier>(this)) {}

QtMessageBoxHandler::~QtMessageBoxHandler() = default;

BoxAnswer QtMessageBoxHandler::Show(BoxKind kind, const std::string& text) {
  const QString qtext = QString::fromStdString(text);
  if (QThread::currentThread() == qApp->thread()) return ShowOnUiThread(kind, qtext);
  BoxRequest request(kind, qtext);
  PostMessage(&carrier_->window, WM_SHOW_BOX, 0, reinterpret_cast<LParam>(&request));
  std::unique_lock lock(request.mutex);
  request.answered.wait(lock, [&request] { return request.done; });
  return request.answer;
}

BoxAnswer QtMessageBoxHandler::ShowOnUiThread(BoxKind kind, const QString& text) {
  const QString title = QStringLiteral("Wavelathe");
  switch (kind) {
    case BoxKind::kInformation:
      QMessageBox::information(owner_, title, text);
      return BoxAnswer::kOk;
    case BoxKind::kPlain: {
      QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner_);
      box.exec();
      return BoxAnswer::kOk;
    }
    case BoxKind::kQuestion:
      return QMessageBox::question(owner_, title, text, QMessageBox::Yes | QMessageBox::No) ==
                     QMessageBox::Yes
                 ? BoxAnswer::kYes
                 : BoxAnswer::kNo;
  }
  return BoxAnswer::kOk;
}

}  // namespace platform
