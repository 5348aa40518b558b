// The split-now dialog (template 135): target format, bitrate, export-unselected and the two
// fades in whole seconds.
//
// Controls carry their template ids as object names: "1016" format list, "1017" bitrate list,
// "1018" export-unselected, "1019"/"1020" fade-in box and seconds, "1021"/"1022" fade-out box
// and seconds, "1" OK, "2" Cancel. OK checks the checked fades' seconds (digits only, greater
// than 0; otherwise a message and the dialog stays open), hands the parameters to the split
// function, and then closes as accepted whatever the export did.
#pragma once

#include <QDialog>
#include <functional>

#include "codecs/music.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

struct ExportParams {
  int type = kMusicWav;     // 0 wav, 1 mp3, 2 wma, 4 ogg, 5 ape
  int bitrate = 0;          // kbit/s, passed on also when the list is disabled
  int fadeInSeconds = -1;   // -1: no fade-in
  int fadeOutSeconds = -1;  // -1: no fade-out
  bool exportUnselected = false;
};

class CExportNowDlg : public QDialog {
  Q_OBJECT

 public:
  using SplitFunction = std::function<void(const ExportParams&)>;

  // `source` (the opened file's record) chooses the preselected format and bitrate.
  CExportNowDlg(const MusicInfo& source, SplitFunction split, QWidget* parent = nullptr);

 private:
  void CreateControls();
  void Preselect(const MusicInfo& source);
  void UpdateBitrateEnabled();
  void OnOk();

  SplitFunction split_;
  QComboBox* formatList_ = nullptr;
  QComboBox* bitrateList_ = nullptr;
  QCheckBox* unselectedBox_ = nullptr;
  QCheckBox* fadeInBox_ = nullptr;
  QLineEdit* fadeInEdit_ = nullptr;
  QCheckBox* fadeOutBox_ = nullptr;
  QLineEdit* fadeOutEdit_ = nullptr;
};

// "wav" 0, "mp3" 1, "wma" 2, "ogg" 4, "ape" 5, anything else 0.
int ExportTypeFromFormatText(const QString& text);
// Seconds typed into a fade field: digits 0–9 only, greater than 0, at most INT32_MAX.
bool ParseFadeSeconds(const QString& text, int* seconds);
