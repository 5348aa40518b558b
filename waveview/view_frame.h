// What the waveform view needs from the window that hosts it: the three status texts and a
// way to hand on the commands of its context menu. Lets the view be tested without the frame.
#pragma once

#include <QString>

class ViewFrame {
 public:
  virtual ~ViewFrame() = default;
  virtual void SetMousePosText(const QString& text) = 0;   // status pane 2
  virtual void SetCursorPosText(const QString& text) = 0;  // status pane 129
  virtual void SetLengthText(const QString& text) = 0;     // status pane 130
  // A command id chosen in the view's context menu (32790…32804).
  virtual void OnViewCommand(int id) = 0;
};
