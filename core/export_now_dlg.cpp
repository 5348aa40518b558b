#include "core/export_now_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdint>
#include <iterator>
#include <limits>

#include "codecs/music_registry.h"
#include "platform/message_box.h"
#include "platform/qt/dialog_layout.h"
#include "res/core_texts.h"
#include "res/frame_texts.h"

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

template <typename Control>
Control* Named(Control* control, int id) {
  control->setObjectName(QString::number(id));
  return control;
}

}  // namespace

int ExportTypeFromFormatText(const QString& text) {
  for (const MusicFormat& format : MusicFormats()) {
    if (format.canWrite && text == QLatin1String(format.extension)) return format.type;
  }
  return kMusicWav;
}

bool ParseFadeSeconds(const QString& text, int* seconds) {
  std::int64_t value = 0;
  for (const QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    value = value * 10 + (c.unicode() - '0');
    if (value > std::numeric_limits<std::int32_t>::max()) return false;
  }
  if (value <= 0) return false;
  *seconds = static_cast<int>(value);
  return true;
}

CExportNowDlg::CExportNowDlg(const MusicInfo& source, SplitFunction split, QWidget* parent)
    : QDialog(parent), split_(std::move(split)) {
  setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setWindowTitle(Text(texts::kExportCaption));
  CreateControls();
  Preselect(source);
  connect(formatList_, &QComboBox::currentIndexChanged, this,
          [this](int) { UpdateBitrateEnabled(); });
}

void CExportNowDlg::CreateControls() {
  const DialogLayout layout(this, 227, 116);
  // The group box comes first so that the controls inside it lie above it.
  layout.Place(new QGroupBox(this), 12, 44, 192, 64);
  layout.Place(new QLabel(Text(texts::kExportTypeLabel), this), 10, 11, 50, 8);
  formatList_ = Named(new QComboBox(this), 1016);
  layout.Place(formatList_, 61, 9, 74, 14);
  layout.Place(new QLabel(Text(texts::kExportBitrateLabel), this), 10, 27, 50, 8);
  bitrateList_ = Named(new QComboBox(this), 1017);
  layout.Place(bitrateList_, 61, 25, 74, 14);

  unselectedBox_ = Named(new QCheckBox(Text(texts::kExportUnselected), this), 1018);
  layout.Place(unselectedBox_, 27, 58, 90, 10);
  fadeInBox_ = Named(new QCheckBox(Text(texts::kExportFadeIn), this), 1019);
  layout.Place(fadeInBox_, 27, 73, 56, 10);
  fadeInEdit_ = Named(new QLineEdit(QStringLiteral("1"), this), 1020);
  layout.Place(fadeInEdit_, 85, 71, 40, 14);
  layout.Place(new QLabel(Text(texts::kExportSeconds), this), 128, 73, 12, 8);
  fadeOutBox_ = Named(new QCheckBox(Text(texts::kExportFadeOut), this), 1021);
  layout.Place(fadeOutBox_, 27, 90, 56, 10);
  fadeOutEdit_ = Named(new QLineEdit(QStringLiteral("1"), this), 1022);
  layout.Place(fadeOutEdit_, 85, 88, 40, 14);
  layout.Place(new QLabel(Text(texts::kExportSeconds), this), 128, 90, 12, 8);

  auto* ok = Named(new QPushButton(Text(texts::kOk), this), 1);
  ok->setDefault(true);
  layout.Place(ok, 163, 8, 50, 14);
  connect(ok, &QPushButton::clicked, this, &CExportNowDlg::OnOk);
  auto* cancel = Named(new QPushButton(Text(texts::kExportCancel), this), 2);
  cancel->setAutoDefault(false);
  layout.Place(cancel, 163, 24, 50, 14);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CExportNowDlg::Preselect(const MusicInfo& source) {
  int selected = 0;  // also for a CD track, which cannot be written back
  for (const MusicFormat& format : MusicFormats()) {
    if (!format.canWrite) continue;
    if (format.type == source.type) selected = formatList_->count();
    formatList_->addItem(QString::fromLatin1(format.extension));
  }
  formatList_->setCurrentIndex(selected);

  int bitrate = -1;
  for (int i = 0; i < kBitrateCount; ++i) {
    bitrateList_->addItem(QString::number(kBitrates[i]));
    if (kBitrates[i] == source.bitrate) bitrate = i;
  }
  bitrateList_->setCurrentIndex(bitrate >= 0 ? bitrate : bitrateList_->findText("128"));
  UpdateBitrateEnabled();
}

// Lossless formats have no bitrate to choose.
void CExportNowDlg::UpdateBitrateEnabled() {
  const QString format = formatList_->currentText();
  bitrateList_->setEnabled(format != QLatin1String("ape") && format != QLatin1String("wav"));
}

void CExportNowDlg::OnOk() {
  ExportParams params;
  if (fadeInBox_->isChecked() && !ParseFadeSeconds(fadeInEdit_->text(), &params.fadeInSeconds)) {
    platform::ShowMessage(texts::kFadeInNotPositive);
    return;
  }
  if (fadeOutBox_->isChecked() && !ParseFadeSeconds(fadeOutEdit_->text(), &params.fadeOutSeconds)) {
    platform::ShowMessage(texts::kFadeOutNotNumber);
    return;
  }
  params.type = ExportTypeFromFormatText(formatList_->currentText());
  params.bitrate = bitrateList_->currentText().toInt();
  params.exportUnselected = unselectedBox_->isChecked();
  if (split_) split_(params);
  accept();
}
