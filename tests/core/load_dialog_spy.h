// Watches the messages that reach every progress dialog (CMusicLoadDlg) of the application and
// can press its cancel button when the first progress message of a run arrives, which lands a
// cancel while the worker is busy.
#pragma once

#include <QApplication>
#include <QPushButton>
#include <cstdint>
#include <vector>

#include "codecs/music.h"
#include "core/music_load_dlg.h"
#include "platform/qt/qt_message_target.h"

class LoadDialogSpy : public QObject {
 public:
  LoadDialogSpy() { qApp->installEventFilter(this); }
  ~LoadDialogSpy() override { qApp->removeEventFilter(this); }

  bool cancelOnFirstProgress = false;
  bool cancelPressed = false;
  std::vector<std::int64_t> progress;  // per-mille values in arrival order
  int done = 0;                        // WM_MUSIC_DONE messages seen

  bool eventFilter(QObject* watched, QEvent* event) override {
    platform::AcquirePostedMessages();  // this filter runs before the application's own
    if (event->type() != platform::MessageEvent::Type()) return false;
    auto* dialog = qobject_cast<CMusicLoadDlg*>(watched);
    if (dialog == nullptr) return false;
    const auto* message = static_cast<platform::MessageEvent*>(event);
    if (message->msg == WM_MUSIC_PROGRESS) {
      progress.push_back(static_cast<std::int64_t>(message->w));
      if (cancelOnFirstProgress && !cancelPressed) {
        cancelPressed = true;
        dialog->findChild<QPushButton*>(QStringLiteral("1001"))->click();
      }
    } else if (message->msg == WM_MUSIC_DONE) {
      ++done;
    }
    return false;
  }

  // Number of runs whose progress climbed to at least 1000 per mille.
  int CompletedRuns() const {
    int runs = 0;
    std::int64_t previous = 0;
    bool counted = false;
    for (std::int64_t p : progress) {
      if (p < previous) counted = false;
      if (p >= 1000 && !counted) {
        ++runs;
        counted = true;
      }
      previous = p;
    }
    return runs;
  }
};
