// The main window's central widget: a sunken frame whose whole inside is the waveform view.
// It paints nothing itself, handles no commands (the frame does) and hands keyboard focus to
// the view. Owns the view (a Qt child).
#pragma once

#include <QFrame>

class CWavView;

class CWavViewHost : public QFrame {
  Q_OBJECT

 public:
  explicit CWavViewHost(QWidget* parent);
  CWavView* view() const { return view_; }

 private:
  CWavView* view_ = nullptr;
};
