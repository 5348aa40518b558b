// The three encoder settings dialogs: what they show of the record, what OK stores, the Ogg
// limits' checks and enabling, and that Cancel stores nothing.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <map>
#include <memory>

#include "codecs/dialogs/ape_enc_config_dlg.h"
#include "codecs/dialogs/mp3_enc_config_dlg.h"
#include "codecs/dialogs/ogg_enc_config_dlg.h"
#include "tests/support/recording_message_box.h"

using testing_support::RecordingMessageBox;

namespace {

// Control id → its state as text: a list's current entry ("" for none), an edit's text ("-"
// in front when disabled), "1"/"0" for a check box or radio button.
using States = std::map<int, QString>;

QString State(const QDialog& dialog, int id) {
  QWidget* w = dialog.findChild<QWidget*>(QString::number(id));
  if (w == nullptr) return QStringLiteral("missing");
  if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    return (edit->isEnabled() ? QString() : QStringLiteral("-")) + edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w))
    return button->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
  return QStringLiteral("?");
}

States StatesOf(const QDialog& dialog, const States& wanted) {
  States states;
  for (const auto& [id, unused] : wanted) states[id] = State(dialog, id);
  return states;
}

// Sets controls as a user would: list entries by their text, edits by text, boxes by "1"/"0".
void Choose(QDialog& dialog, const States& choices) {
  for (const auto& [id, value] : choices) {
    QWidget* w = dialog.findChild<QWidget*>(QString::number(id));
    ASSERT_NE(w, nullptr) << id;
    if (auto* list = qobject_cast<QComboBox*>(w)) {
      ASSERT_GE(list->findText(value), 0) << id << " " << value.toStdString();
      list->setCurrentIndex(list->findText(value));
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
      edit->setText(value);
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
      button->setChecked(value == QLatin1String("1"));
    }
  }
}

void Press(QDialog& dialog, int buttonId) {
  auto* button = dialog.findChild<QPushButton*>(QString::number(buttonId));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
}

using DialogFactory = std::function<std::unique_ptr<QDialog>(EncoderSettings&)>;

template <typename Dialog>
DialogFactory Factory() {
  return [](EncoderSettings& s) {
    auto dialog = std::make_unique<Dialog>(s);
    dialog->show();
    return std::unique_ptr<QDialog>(std::move(dialog));
  };
}

Mp3EncoderSettings Mp3(std::function<void(Mp3EncoderSettings&)> change) {
  Mp3EncoderSettings s;
  change(s);
  return s;
}

const States kDefaultMp3Shown = {
    {1063, "不重采样"}, {1064, "混合立体声"}, {1065, "标准"}, {1066, "默认"}, {1067, "5"},
    {1068, "320"},      {1059, "1"},          {1060, "0"},    {1061, "0"},    {1062, "1"},
    {1054, "0"},        {1056, "0"},          {1057, "0"},    {1058, "0"}};

States WithDefaultMp3(const States& changed) {
  States states = kDefaultMp3Shown;
  for (const auto& [id, value] : changed) states[id] = value;
  return states;
}

}  // namespace

TEST(Mp3EncConfigDlg, OpensShowingTheRecord) {
  struct Case {
    const char* name;
    Mp3EncoderSettings record;
    States shown;
  };
  const Case cases[] = {
      {"defaults", {}, kDefaultMp3Shown},
      {"every field changed",
       {0, 0, 5, 1, 1, 1, 1, 2, 128, 1, 0, 0},
       WithDefaultMp3({{1063, "编码决定"},
                       {1064, "立体声"},
                       {1065, "很高"},
                       {1066, "可靠"},
                       {1067, "0(最高)"},
                       {1068, "128"},
                       {1059, "0"},
                       {1061, "1"},
                       {1062, "0"},
                       {1054, "1"},
                       {1056, "1"},
                       {1057, "1"},
                       {1058, "1"}})},
      {"a listed rate and the lowest quality",
       Mp3([](auto& s) { s.resampleRate = 44100, s.vbrQuality = 9, s.encodingMode = 1; }),
       WithDefaultMp3({{1063, "44100"}, {1067, "9(最低)"}, {1059, "0"}, {1060, "1"}})},
      {"values out of range select nothing",
       {12345, 3, -1, 0, 0, 0, 0, 3, -7, 3, 1, 10},
       WithDefaultMp3({{1063, "不重采样"},
                       {1064, ""},
                       {1065, ""},
                       {1066, ""},
                       {1067, ""},
                       {1068, "-7"},
                       {1059, "0"}})},
  };
  for (const Case& c : cases) {
    EncoderSettings settings;
    settings.mp3 = c.record;
    CMP3EncConfigDlg dialog(settings);
    EXPECT_EQ(StatesOf(dialog, c.shown), c.shown) << c.name;
  }
}

TEST(Mp3EncConfigDlg, OkStoresTheChoices) {
  struct Case {
    const char* name;
    Mp3EncoderSettings before;
    States choices;
    Mp3EncoderSettings stored;
  };
  const Case cases[] = {
      {"encoder decides", {}, {{1063, "编码决定"}}, Mp3([](auto& s) { s.resampleRate = 0; })},
      {"no resampling", Mp3([](auto& s) { s.resampleRate = 8000; }), {{1063, "不重采样"}}, {}},
      {"every control",
       {},
       {{1063, "48000"},
        {1064, "双声道"},
        {1065, "R3Mix"},
        {1066, "更快"},
        {1067, "9(最低)"},
        {1068, "256kbps"},
        {1060, "1"},
        {1062, "0"},
        {1054, "1"},
        {1056, "1"},
        {1057, "1"},
        {1058, "1"}},
       {48000, 2, 4, 1, 1, 1, 1, 1, 256, 2, 0, 9}},
      {"ABR and bits off",
       {0, 0, 0, 1, 1, 1, 1, 0, 320, 0, 1, 5},
       {{1061, "1"}, {1054, "0"}, {1056, "0"}, {1057, "0"}, {1058, "0"}},
       {0, 0, 0, 0, 0, 0, 0, 2, 320, 0, 1, 5}},
      {"maximum not a number", {}, {{1068, "abc"}}, Mp3([](auto& s) { s.maxVbrBitrate = 0; })},
      {"maximum with blanks and sign", {}, {{1068, " -5"}}, Mp3([](auto& s) {
         s.maxVbrBitrate = -5;
       })},
      {"maximum too large", {}, {{1068, "99999999999"}}, Mp3([](auto& s) {
         s.maxVbrBitrate = 2147483647;
       })},
      {"nothing selected keeps the fields",
       {44100, 7, 6, 0, 0, 0, 0, 5, 320, -1, 1, 12},
       {},
       {44100, 7, 6, 0, 0, 0, 0, 5, 320, -1, 1, 12}},
  };
  for (const Case& c : cases) {
    EncoderSettings settings;
    settings.mp3 = c.before;
    CMP3EncConfigDlg dialog(settings);
    dialog.show();
    Choose(dialog, c.choices);
    Press(dialog, 1);
    EXPECT_EQ(settings.mp3, c.stored) << c.name;
    EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.name;
    // Every chosen list entry is selected again when the dialog reopens.
    CMP3EncConfigDlg reopened(settings);
    for (const auto& [id, value] : c.choices) {
      if (reopened.findChild<QComboBox*>(QString::number(id)) != nullptr) {
        EXPECT_EQ(State(reopened, id), value) << c.name;
      }
    }
  }
}

TEST(OggEncConfigDlg, LimitsOpenCheckedOnlyWhenPositiveAndBoxesEnableTheirEdits) {
  EncoderSettings settings;
  settings.ogg = {192, 0};
  COggEncConfigDlg dialog(settings);
  dialog.show();
  const States opened = {{1054, "1"}, {1070, "192"}, {1069, "0"}, {1071, "-"}};
  EXPECT_EQ(StatesOf(dialog, opened), opened);
  auto* explanation = dialog.findChild<QPlainTextEdit*>("1072");
  ASSERT_NE(explanation, nullptr);
  EXPECT_TRUE(explanation->isReadOnly());
  EXPECT_TRUE(explanation->toPlainText().startsWith("尽管 Ogg 编码原本为 VBR"));

  Choose(dialog, {{1054, "0"}, {1069, "1"}});
  const States toggled = {{1054, "0"}, {1070, "-192"}, {1069, "1"}, {1071, ""}};
  EXPECT_EQ(StatesOf(dialog, toggled), toggled);

  settings.ogg = {-1, -1};
  COggEncConfigDlg unset(settings);
  const States none = {{1054, "0"}, {1070, "-"}, {1069, "0"}, {1071, "-"}};
  EXPECT_EQ(StatesOf(unset, none), none);
}

TEST(OggEncConfigDlg, OkRefusesALimitThatIsNotPositive) {
  struct Case {
    const char* name;
    States choices;
    const char* message;  // nullptr: accepted
    OggEncoderSettings stored;
  };
  const OggEncoderSettings before = {100, 50};
  const Case cases[] = {
      {"maximum 0", {{1054, "1"}, {1070, "0"}}, "最大比特率必须为正数。", before},
      {"maximum empty", {{1054, "1"}, {1070, ""}}, "最大比特率必须为正数。", before},
      {"maximum not a number", {{1054, "1"}, {1070, "x"}}, "最大比特率必须为正数。", before},
      {"both refused: the maximum is reported",
       {{1070, "-1"}, {1071, "0"}},
       "最大比特率必须为正数。",
       before},
      {"minimum refused keeps the maximum too",
       {{1070, "256"}, {1069, "1"}, {1071, "-3"}},
       "最小比特率必须为正数。",
       before},
      {"unchecked limits store -1", {{1054, "0"}, {1069, "0"}}, nullptr, {-1, -1}},
      {"both set", {{1070, "320"}, {1071, "  64"}}, nullptr, {320, 64}},
      {"no comparison between them", {{1070, "32"}, {1071, "256"}}, nullptr, {32, 256}},
  };
  for (const Case& c : cases) {
    RecordingMessageBox boxes;
    EncoderSettings settings;
    settings.ogg = before;
    COggEncConfigDlg dialog(settings);
    dialog.show();
    Choose(dialog, c.choices);
    Press(dialog, 1);
    EXPECT_EQ(settings.ogg, c.stored) << c.name;
    EXPECT_EQ(dialog.isVisible(), c.message != nullptr) << c.name;
    EXPECT_EQ(boxes.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.name;
    if (c.message) {
      EXPECT_EQ(boxes.Boxes()[0].kind, platform::BoxKind::kInformation);
    }
  }
}

TEST(ApeEncConfigDlg, SelectsTheLevelAndOkStoresIt) {
  struct Case {
    std::int32_t before;
    QString shown;
    QString choice;  // "" chooses nothing
    std::int32_t stored;
  };
  const Case cases[] = {
      {2000, "标准", "极高", 5000}, {3000, "高", "快", 1000}, {4000, "特高", "", 4000},
      {2500, "", "", 2500},         {0, "", "标准", 2000},    {-1000, "", "", -1000},
      {6000, "", "特高", 4000},
  };
  for (const Case& c : cases) {
    EncoderSettings settings;
    settings.compressionLevel = c.before;
    CApeEncConfigDlg dialog(settings);
    dialog.show();
    EXPECT_EQ(State(dialog, 1073), c.shown) << c.before;
    if (!c.choice.isEmpty()) Choose(dialog, {{1073, c.choice}});
    Press(dialog, 1);
    EXPECT_EQ(settings.compressionLevel, c.stored) << c.before;
  }
}

TEST(EncoderConfigDlgs, CancelAndEscapeStoreNothing) {
  struct Case {
    const char* name;
    DialogFactory open;
    States choices;
  };
  const Case cases[] = {
      {"mp3",
       Factory<CMP3EncConfigDlg>(),
       {{1063, "编码决定"}, {1064, "立体声"}, {1068, "64"}, {1061, "1"}, {1054, "1"}}},
      {"ogg", Factory<COggEncConfigDlg>(), {{1054, "1"}, {1070, "128"}}},
      {"ape", Factory<CApeEncConfigDlg>(), {{1073, "极高"}}},
  };
  for (const Case& c : cases) {
    for (const bool escape : {false, true}) {
      EncoderSettings settings;
      const std::unique_ptr<QDialog> dialog = c.open(settings);
      Choose(*dialog, c.choices);
      if (escape)
        QTest::keyClick(dialog.get(), Qt::Key_Escape);
      else
        Press(*dialog, 2);
      EXPECT_EQ(settings, EncoderSettings{}) << c.name << (escape ? " escape" : " cancel");
      EXPECT_EQ(dialog->result(), QDialog::Rejected) << c.name;
      EXPECT_FALSE(dialog->isVisible()) << c.name;
    }
  }
}
