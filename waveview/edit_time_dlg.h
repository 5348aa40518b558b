// The time entry dialog: a position typed as hours, minutes, seconds and milliseconds.
//
// Constructed with a mode (0 current position, 1 segment start, 2 segment end; it chooses the
// caption) and a time in milliseconds, run modally; after OK, valueMs() holds the time typed.
// OK checks that every field holds only the digits 0–9 (an empty field counts as 0) and
// reports each field that does not, keeping the dialog open; minutes, seconds and
// milliseconds are not limited to their clock ranges beyond the field lengths (2, 2, 3).
#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QLineEdit;

class CEditTimeDlg : public QDialog {
  Q_OBJECT

 public:
  enum Mode { kCursor = 0, kSegStart = 1, kSegEnd = 2 };

  CEditTimeDlg(int mode, std::int64_t valueMs, QWidget* parent = nullptr);

  std::int64_t valueMs() const { return valueMs_; }
  void accept() override;

  // The conversions of the edit commands, in 64-bit integers, truncating: frames × 1000 ÷ rate
  // and rate × ms ÷ 1000. A rate ≤ 0 (nothing loaded) gives 0; results saturate to 64 bits.
  static std::int64_t FramesToMs(std::int64_t frames, int rate);
  static std::int64_t MsToFrames(std::int64_t ms, int rate);

 private:
  void CreateControls();
  void ShowValue();

  std::array<QLineEdit*, 4> fields_{};  // hours, minutes, seconds, milliseconds
  std::int64_t valueMs_;
};
