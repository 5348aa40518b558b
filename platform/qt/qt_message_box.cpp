#include "platform/qt/qt_message_box.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace platform {

BoxAnswer QtMessageBoxHandler::Show(BoxKind kind, const std::string& text) {
  const QString qtext = QString::fromStdString(text);
  if (QThread::currentThread() == qApp->thread()) return ShowOnUiThread(kind, qtext);
  BoxAnswer answer = BoxAnswer::kOk;
  QMetaObject::invokeMethod(
      qApp, [&] { answer = ShowOnUiThread(kind, qtext); }, Qt::BlockingQueuedConnection);
  return answer;
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
