// Posted messages for Qt objects: a MessageTarget that turns Post() into a Qt event for one
// receiver, delivered on the receiver's thread.
//
// The receiver handles MessageEvent in its event() override. Pending messages of a receiver
// are discarded by Qt when it is destroyed; owners still join their workers first.
#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

#include "platform/message.h"

namespace platform {

class MessageEvent : public QEvent {
 public:
  MessageEvent(std::uint32_t msg, WParam w, LParam l) : QEvent(Type()), msg(msg), w(w), l(l) {}
  static QEvent::Type Type();

  const std::uint32_t msg;
  const WParam w;
  const LParam l;
};

class QtMessageTarget : public MessageTarget {
 public:
  // Construct on the UI thread.
  explicit QtMessageTarget(QObject* receiver);
  bool Post(std::uint32_t msg, WParam w, LParam l) override;
  // Delivers the receiver's pending messages now (on the calling thread, the receiver's).
  void DispatchPending();

 private:
  QObject* receiver_;
};

// Installs the factory behind CreateUiMessageTarget: each target is a hidden QObject living on
// the application's thread, whose handler runs there. Call once the QApplication exists.
void InstallQtUiTargetFactory();

// Orders what workers wrote before their posts before what follows on the UI thread. Every
// delivery does it through an application event filter; a filter installed later runs before
// that one and calls this before it reads a posted message.
void AcquirePostedMessages();

// Runs the UI thread's events, waiting for each next one, until done() is true. An owner uses
// it instead of joining a worker that has not yet posted its completion: the worker may be
// waiting on the UI thread (a message box carried over to it), which a join would never serve.
void ServeEventsUntil(const std::function<bool()>& done);

}  // namespace platform
