// The application's message boxes: QMessageBox owned by the main window. Calls from worker
// threads are posted to the UI thread through the one posted-message target (so the hand-over
// is also visible to ThreadSanitizer) and block the worker until the box is answered.
#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/message_box.h"

namespace platform {

class QtMessageBoxHandler : public MessageBoxHandler {
 public:
  // Construct and destroy on the UI thread, with the application object alive.
  QtMessageBoxHandler();
  ~QtMessageBoxHandler() override;
  // `owner` parents the boxes (may be null).
  void SetOwner(QWidget* owner) { owner_ = owner; }
  BoxAnswer Show(BoxKind kind, const std::string& text) override;

 private:
  class Carrier;
  BoxAnswer ShowOnUiThread(BoxKind kind, const QString& text);
  QPointer<QWidget> owner_;
  std::unique_ptr<Carrier> carrier_;
};

}  // namespace platform
