// The APE encoder settings dialog (template 171): the compression level.
//
// Controls carry their template ids as object names: "1073" the level list ("快" 1000 … "极高"
// 5000), "1" OK, "2" Cancel. Opening selects the current level (nothing for another value); OK
// stores the selected level (the record is unchanged when nothing is selected) and closes.
#pragma once

#include <QDialog>

#include "codecs/encoder_settings.h"

class QComboBox;

class CApeEncConfigDlg : public QDialog {
  Q_OBJECT

 public:
  // `settings` is not owned and must outlive the dialog.
  explicit CApeEncConfigDlg(EncoderSettings& settings, QWidget* parent = nullptr);

 private:
  void OnOk();

  EncoderSettings& settings_;
  QComboBox* levelList_ = nullptr;
};
