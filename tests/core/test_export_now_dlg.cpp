#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <optional>

#include "platform/qt/dialog_layout.h"
#include "core/export_now_dlg.h"
#include "tests/support/recording_message_box.h"

using testing_support::RecordingMessageBox;

namespace {

MusicInfo Source(int type, int bitrate) {
  MusicInfo info;
  info.type = type;
  info.bitrate = bitrate;
  return info;
}

QStringList Items(const QComboBox* list) {
  QStringList items;
  for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
  return items;
}

template <typename T>
T* Control(const QDialog& dialog, const char* id) {
  T* control = dialog.findChild<T*>(QString::fromLatin1(id));
  EXPECT_NE(control, nullptr) << id;
  return control;
}

// A dialog whose split function records what it was given.
struct Harness {
  explicit Harness(const MusicInfo& source)
      : dialog(source, [this](const ExportParams& p) { params = p; }) {
    dialog.show();
  }
  void Ok() { QTest::mouseClick(Control<QPushButton>(dialog, "1"), Qt::LeftButton); }

  std::optional<ExportParams> params;
  CExportNowDlg dialog;
};

}  // namespace

TEST(ExportNowDlg, ControlsTextsAndTemplateGeometry) {
  Harness h(Source(kMusicMp3, 192));
  const CExportNowDlg& d = h.dialog;
  EXPECT_EQ(d.windowTitle().toStdString(), "立即分割 ...");
  EXPECT_EQ(Items(Control<QComboBox>(d, "1016")), (QStringList{"wav", "mp3", "wma", "ogg", "ape"}));
  EXPECT_EQ(
      Items(Control<QComboBox>(d, "1017")),
      (QStringList{"32", "48", "56", "64", "80", "96", "112", "128", "160", "192", "256", "320"}));
  EXPECT_EQ(Control<QCheckBox>(d, "1018")->text().toStdString(), "导出未选片断");
  EXPECT_EQ(Control<QCheckBox>(d, "1019")->text().toStdString(), "开头淡入");
  EXPECT_EQ(Control<QCheckBox>(d, "1021")->text().toStdString(), "结尾淡出");
  EXPECT_EQ(Control<QPushButton>(d, "1")->text().toStdString(), "确定");
  EXPECT_EQ(Control<QPushButton>(d, "2")->text().toStdString(), "取消");
  EXPECT_TRUE(Control<QPushButton>(d, "1")->isDefault());
  for (const char* id : {"1018", "1019", "1021"})
    EXPECT_FALSE(Control<QCheckBox>(d, id)->isChecked());
  EXPECT_EQ(Control<QLineEdit>(d, "1020")->text(), "1");
  EXPECT_EQ(Control<QLineEdit>(d, "1022")->text(), "1");

  // Template positions converted with the dialog font's own metrics.
  EXPECT_EQ(QFontInfo(d.font()).pointSize(), 9);
  QDialog probe;
  const DialogLayout units(&probe, 227, 116);
  EXPECT_EQ(d.size(), probe.size());
  EXPECT_EQ(Control<QPushButton>(d, "1")->geometry(), units.Rect(163, 8, 50, 14));
  EXPECT_EQ(Control<QPushButton>(d, "2")->geometry(), units.Rect(163, 24, 50, 14));
  EXPECT_EQ(Control<QComboBox>(d, "1016")->geometry(), units.Rect(61, 9, 74, 14));
  EXPECT_EQ(Control<QLineEdit>(d, "1020")->geometry(), units.Rect(85, 71, 40, 14));
  EXPECT_EQ(Control<QLineEdit>(d, "1022")->geometry(), units.Rect(85, 88, 40, 14));
  EXPECT_EQ(Control<QCheckBox>(d, "1018")->x(), units.X(27));
  EXPECT_EQ(Control<QCheckBox>(d, "1021")->y(), units.Y(90));
}

TEST(ExportNowDlg, PreselectionFollowsTheOpenedFileAndLosslessFormatsDisableTheBitrate) {
  Harness mp3(Source(kMusicMp3, 192));
  auto* format = Control<QComboBox>(mp3.dialog, "1016");
  auto* bitrate = Control<QComboBox>(mp3.dialog, "1017");
  EXPECT_EQ(format->currentText(), "mp3");
  EXPECT_EQ(bitrate->currentText(), "192");
  EXPECT_TRUE(bitrate->isEnabled());
  format->setCurrentText("ape");
  EXPECT_FALSE(bitrate->isEnabled());
  format->setCurrentText("ogg");
  EXPECT_TRUE(bitrate->isEnabled());
  format->setCurrentText("wav");
  EXPECT_FALSE(bitrate->isEnabled());

  // A CD track cannot be written back: WAV, and a bitrate outside the list gives 128.
  Harness cd(Source(kMusicCda, 1411));
  EXPECT_EQ(Control<QComboBox>(cd.dialog, "1016")->currentText(), "wav");
  EXPECT_EQ(Control<QComboBox>(cd.dialog, "1017")->currentText(), "128");
  EXPECT_FALSE(Control<QComboBox>(cd.dialog, "1017")->isEnabled());

  Harness ogg(Source(kMusicOgg, 100));
  EXPECT_EQ(Control<QComboBox>(ogg.dialog, "1016")->currentText(), "ogg");
  EXPECT_EQ(Control<QComboBox>(ogg.dialog, "1017")->currentText(), "128");
}

TEST(ExportNowDlg, InvalidFadeSecondsKeepTheDialogOpen) {
  RecordingMessageBox boxes;
  Harness h(Source(kMusicWav, 1378));
  Control<QCheckBox>(h.dialog, "1019")->setChecked(true);
  for (const char* text : {"0", "", "1a", "-1", " 2", "3.5", "٣", "2147483648"}) {
    Control<QLineEdit>(h.dialog, "1020")->setText(text);
    h.Ok();
    EXPECT_FALSE(h.params) << text;
    EXPECT_TRUE(h.dialog.isVisible()) << text;
  }
  EXPECT_EQ(boxes.Texts().size(), 8u);
  EXPECT_EQ(boxes.Texts().back(), "淡入的秒必须为正数。");
  EXPECT_EQ(boxes.Boxes().back().kind, platform::BoxKind::kInformation);

  boxes.Clear();
  Control<QLineEdit>(h.dialog, "1020")->setText("2");
  Control<QCheckBox>(h.dialog, "1021")->setChecked(true);
  Control<QLineEdit>(h.dialog, "1022")->setText("x");
  h.Ok();
  EXPECT_FALSE(h.params);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"淡出的秒必须为数字。"});
}

TEST(ExportNowDlg, OkHandsOverTheChoicesAndClosesAsAccepted) {
  RecordingMessageBox boxes;
  Harness h(Source(kMusicWav, 1378));
  Control<QComboBox>(h.dialog, "1016")->setCurrentText("ogg");
  Control<QComboBox>(h.dialog, "1017")->setCurrentText("256");
  Control<QCheckBox>(h.dialog, "1018")->setChecked(true);
  Control<QCheckBox>(h.dialog, "1019")->setChecked(true);
  Control<QLineEdit>(h.dialog, "1020")->setText("3");
  Control<QCheckBox>(h.dialog, "1021")->setChecked(true);
  Control<QLineEdit>(h.dialog, "1022")->setText("002");
  h.Ok();
  ASSERT_TRUE(h.params);
  EXPECT_EQ(h.params->type, kMusicOgg);
  EXPECT_EQ(h.params->bitrate, 256);
  EXPECT_EQ(h.params->fadeInSeconds, 3);
  EXPECT_EQ(h.params->fadeOutSeconds, 2);
  EXPECT_TRUE(h.params->exportUnselected);
  EXPECT_EQ(h.dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(h.dialog.isVisible());
  EXPECT_TRUE(boxes.Texts().empty());

  // Unchecked fades are -1 whatever their fields hold; a disabled bitrate list still counts.
  Harness plain(Source(kMusicApe, 0));
  Control<QLineEdit>(plain.dialog, "1020")->setText("junk");
  plain.Ok();
  ASSERT_TRUE(plain.params);
  EXPECT_EQ(plain.params->type, kMusicApe);
  EXPECT_EQ(plain.params->bitrate, 128);
  EXPECT_EQ(plain.params->fadeInSeconds, -1);
  EXPECT_EQ(plain.params->fadeOutSeconds, -1);
  EXPECT_FALSE(plain.params->exportUnselected);

  // Cancel closes without exporting.
  Harness cancelled(Source(kMusicWav, 1378));
  QTest::mouseClick(Control<QPushButton>(cancelled.dialog, "2"), Qt::LeftButton);
  EXPECT_FALSE(cancelled.params);
  EXPECT_EQ(cancelled.dialog.result(), QDialog::Rejected);
}
