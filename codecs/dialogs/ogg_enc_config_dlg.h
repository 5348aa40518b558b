// The Ogg Vorbis encoder settings dialog (template 170): an explanation and two optional
// bitrate limits.
//
// Controls carry their template ids as object names: "1072" the read-only explanation,
// "1054"/"1070" maximum box and edit, "1069"/"1071" minimum box and edit, "1" OK, "2" Cancel.
// A limit ≤ 0 opens unchecked with its edit disabled; a box enables its edit while checked.
// OK refuses a checked limit whose value is not positive (a message, the dialog stays open and
// the record is unchanged); otherwise it stores each limit, -1 for an unchecked one, and closes.
#pragma once

#include <QDialog>

#include "codecs/encoder_settings.h"

class DialogLayout;
class QCheckBox;
class QLineEdit;

class COggEncConfigDlg : public QDialog {
  Q_OBJECT

 public:
  // `settings` is not owned and must outlive the dialog.
  explicit COggEncConfigDlg(EncoderSettings& settings, QWidget* parent = nullptr);

 private:
  struct Limit {
    QCheckBox* box = nullptr;
    QLineEdit* edit = nullptr;
  };

  Limit AddLimit(const DialogLayout& layout, int boxId, int editId, const char* text, int y);
  void OnOk();

  EncoderSettings& settings_;
  Limit max_;
  Limit min_;
};
