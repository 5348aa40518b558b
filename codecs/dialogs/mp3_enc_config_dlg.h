// The MP3 encoder settings dialog (template 169).
//
// Controls carry their template ids as object names: "1063" resample rate, "1064" stereo mode,
// "1065" preset, "1054"/"1056"/"1057"/"1058" copyright/CRC/original/private bits,
// "1059"/"1060"/"1061" CBR/VBR/ABR, "1066" VBR method, "1067" VBR quality, "1068" maximum VBR
// bitrate, "1062" VBR header, "1" OK, "2" Cancel. Opening shows the MP3 block of the record;
// OK stores the choices into it and closes; Cancel leaves it unchanged. A list without a
// selection and a method without a checked button leave their field as it was.
#pragma once

#include <QDialog>

#include "codecs/encoder_settings.h"

class DialogLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

class CMP3EncConfigDlg : public QDialog {
  Q_OBJECT

 public:
  // `settings` is not owned and must outlive the dialog.
  explicit CMP3EncConfigDlg(EncoderSettings& settings, QWidget* parent = nullptr);

 private:
  void CreateControls();
  void CreateVbrControls(const DialogLayout& layout);
  void ShowSettings();
  void OnOk();

  EncoderSettings& settings_;
  QComboBox* resampleList_ = nullptr;
  QComboBox* stereoList_ = nullptr;
  QComboBox* presetList_ = nullptr;
  QCheckBox* copyrightBox_ = nullptr;
  QCheckBox* crcBox_ = nullptr;
  QCheckBox* originalBox_ = nullptr;
  QCheckBox* privateBox_ = nullptr;
  QRadioButton* modeButtons_[3] = {};
  QComboBox* vbrMethodList_ = nullptr;
  QComboBox* vbrQualityList_ = nullptr;
  QLineEdit* maxVbrEdit_ = nullptr;
  QCheckBox* vbrHeaderBox_ = nullptr;
};
