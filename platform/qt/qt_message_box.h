// The application's message boxes: QMessageBox owned by the main window. Calls from worker
// threads are carried to the UI thread and block the worker until the box is answered.
#pragma once

#include <QPointer>
#include <QWidget>

#include "platform/message_box.h"

namespace platform {

class QtMessageBoxHandler : public MessageBoxHandler {
 public:
  // `owner` parents the boxes (may be null).
  void SetOwner(QWidget* owner) { owner_ = owner; }
  BoxAnswer Show(BoxKind kind, const std::string& text) override;

 private:
  BoxAnswer ShowOnUiThread(BoxKind kind, const QString& text);
  QPointer<QWidget> owner_;
};

}  // namespace platform
