// A stand-in frame for the view's tests: keeps the last status texts and every command.
#pragma once

#include <QString>
#include <vector>

#include "waveview/view_frame.h"

class RecordingFrame : public ViewFrame {
 public:
  void SetMousePosText(const QString& t) override { mouse = t; }
  void SetCursorPosText(const QString& t) override { cursor = t; }
  void SetLengthText(const QString& t) override { length = t; }
  void OnViewCommand(int id) override { commands.push_back(id); }
  QString mouse, cursor, length;
  std::vector<int> commands;
};
