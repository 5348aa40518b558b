// The three encoder settings dialogs: what they show of the record, what OK stores, the Ogg
// limits' checks and enabling, and that Cancel stores nothing.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <map>

#include "codecs/dialogs/ape_enc_config_dlg.h"
#include "codecs/dialogs/mp3_enc_config_dlg.h"
#include "codecs/dialogs/ogg_enc_config_dlg.h"
#include "tests/support/recording_message_box.h"

using testing_support::RecordingMessageBox;

namespace {

// Control id → state: a list's current entry ("" for none), an edit's text ("-" in front when
// disabled), "1"/"0" for a check box or radio button. Written "1063=编码决定;1068=-".
using States = std::map<int, QString>;

States S(const char* spec) {
  States states;
  for (const QString& item : QString::fromUtf8(spec).split(';', Qt::SkipEmptyParts))
    states[item.section('=', 0, 0).toInt()] = item.section('=', 1);
  return states;
}

QString State(const QDialog& dialog, int id) {
  QWidget* w = dialog.findChild<QWidget*>(QString::number(id));
  if (auto* list = qobject_cast<QComboBox*>(w)) return list->currentText();
  if (auto* edit = qobject_cast<QLineEdit*>(w))
    return (edit->isEnabled() ? "" : "-") + edit->text();
  if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->isChecked() ? "1" : "0";
  return QStringLiteral("missing");
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
  QTest::mouseClick(dialog.findChild<QPushButton*>(QString::number(buttonId)), Qt::LeftButton);
}

// Opens a `Dialog` on a default record, makes `choices`, cancels (or presses Escape).
template <typename Dialog>
void ExpectCancelStoresNothing(const char* choices) {
  for (const bool escape : {false, true}) {
    EncoderSettings settings;
    Dialog dialog(settings);
    dialog.show();
    Choose(dialog, S(choices));
    if (escape) QTest::keyClick(&dialog, Qt::Key_Escape);
    if (!escape) Press(dialog, 2);
    EXPECT_EQ(settings, EncoderSettings{}) << choices;
    EXPECT_FALSE(dialog.isVisible());
  }
}

constexpr const char kDefaultMp3[] =
    "1063=不重采样;1064=混合立体声;1065=标准;1066=默认;1067=5;1068=320;1059=1;1060=0;1061=0;"
    "1062=1;1054=0;1056=0;1057=0;1058=0";

}  // namespace

TEST(Mp3EncConfigDlg, OpensShowingTheRecord) {
  const struct {
    Mp3EncoderSettings record;
    const char* shown;
  } cases[] = {
      {{}, kDefaultMp3},
      {{0, 0, 5, 1, 1, 1, 1, 2, 128, 1, 0, 0},
       "1063=编码决定;1064=立体声;1065=很高;1066=可靠;1067=0(最高);1068=128;1059=0;1060=0;"
       "1061=1;1062=0;1054=1;1056=1;1057=1;1058=1"},
      {{12345, 3, -1, 0, 0, 0, 0, 3, -7, 3, 1, 10},  // out of range: nothing selected
       "1063=不重采样;1064=;1065=;1066=;1067=;1068=-7;1059=0;1060=0;1061=0"},
  };
  for (const auto& c : cases) {
    EncoderSettings settings;
    settings.mp3 = c.record;
    CMP3EncConfigDlg dialog(settings);
    EXPECT_EQ(StatesOf(dialog, S(c.shown)), S(c.shown)) << c.shown;
  }
}

TEST(Mp3EncConfigDlg, OkStoresTheChoicesAndReopeningSelectsThemAgain) {
  const struct {
    Mp3EncoderSettings before;
    const char* choices;
    Mp3EncoderSettings stored;
  } cases[] = {
      {{}, "1063=编码决定", {0, 1, 0, 0, 0, 0, 0, 0, 320, 0, 1, 5}},
      {{8000}, "1063=不重采样;1061=1", {-1, 1, 0, 0, 0, 0, 0, 2, 320, 0, 1, 5}},
      {{},
       "1063=48000;1064=双声道;1065=R3Mix;1066=更快;1067=9(最低);1068=256kbps;1060=1;1062=0;"
       "1054=1;1056=1;1057=1;1058=1",
       {48000, 2, 4, 1, 1, 1, 1, 1, 256, 2, 0, 9}},
      {{0, 0, 0, 1, 1, 1, 1},
       "1054=0;1056=0;1057=0;1058=0",
       {0, 0, 0, 0, 0, 0, 0, 0, 320, 0, 1, 5}},
      {{}, "1068=abc", {-1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 5}},
      {{}, "1068= -99999999999", {-1, 1, 0, 0, 0, 0, 0, 0, -2147483647 - 1, 0, 1, 5}},
      // Lists left without a selection and no checked method keep their fields.
      {{44100, 7, 6, 0, 0, 0, 0, 5, 320, -1, 1, 12},
       "",
       {44100, 7, 6, 0, 0, 0, 0, 5, 320, -1, 1, 12}},
  };
  for (const auto& c : cases) {
    EncoderSettings settings;
    settings.mp3 = c.before;
    CMP3EncConfigDlg dialog(settings);
    dialog.show();
    Choose(dialog, S(c.choices));
    Press(dialog, 1);
    EXPECT_EQ(settings.mp3, c.stored) << c.choices;
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    CMP3EncConfigDlg reopened(settings);
    for (const auto& [id, value] : S(c.choices)) {
      if (qobject_cast<QComboBox*>(reopened.findChild<QWidget*>(QString::number(id)))) {
        EXPECT_EQ(State(reopened, id), value) << c.choices;
      }
    }
  }
}

TEST(OggEncConfigDlg, LimitsOpenCheckedOnlyWhenPositiveAndBoxesEnableTheirEdits) {
  EncoderSettings settings;
  settings.ogg = {192, 0};
  COggEncConfigDlg dialog(settings);
  EXPECT_EQ(StatesOf(dialog, S("1054=1;1070=192;1069=0;1071=-")),
            S("1054=1;1070=192;1069=0;1071=-"));
  Choose(dialog, S("1054=0;1069=1"));
  EXPECT_EQ(StatesOf(dialog, S("1070=-192;1071=")), S("1070=-192;1071="));
}

TEST(OggEncConfigDlg, OkRefusesALimitThatIsNotPositive) {
  const char* const kMax = "最大比特率必须为正数。";
  const char* const kMin = "最小比特率必须为正数。";
  const OggEncoderSettings before = {100, 50};
  const struct {
    const char* choices;
    const char* message;  // nullptr: accepted
    OggEncoderSettings stored;
  } cases[] = {
      {"1070=0", kMax, before},
      {"1070=", kMax, before},
      {"1070=x;1071=0", kMax, before},
      {"1070=256;1071=-3", kMin, before},  // the maximum is not stored either
      {"1054=0;1069=0", nullptr, {-1, -1}},
      {"1070=32;1071=  256", nullptr, {32, 256}},  // no comparison between the two
  };
  for (const auto& c : cases) {
    RecordingMessageBox boxes;
    EncoderSettings settings;
    settings.ogg = before;
    COggEncConfigDlg dialog(settings);
    dialog.show();
    Choose(dialog, S(c.choices));
    Press(dialog, 1);
    EXPECT_EQ(settings.ogg, c.stored) << c.choices;
    EXPECT_EQ(dialog.isVisible(), c.message != nullptr) << c.choices;
    EXPECT_EQ(boxes.Texts(),
              c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{})
        << c.choices;
  }
}

TEST(ApeEncConfigDlg, SelectsTheLevelAndOkStoresIt) {
  const struct {
    std::int32_t before;
    const char* shown;
    const char* choices;
    std::int32_t stored;
  } cases[] = {
      {2000, "标准", "1073=极高", 5000}, {3000, "高", "1073=快", 1000},
      {4000, "特高", "", 4000},          {2500, "", "", 2500},
      {0, "", "1073=标准", 2000},        {-1000, "", "", -1000},
  };
  for (const auto& c : cases) {
    EncoderSettings settings;
    settings.compressionLevel = c.before;
    CApeEncConfigDlg dialog(settings);
    dialog.show();
    EXPECT_EQ(State(dialog, 1073), c.shown) << c.before;
    Choose(dialog, S(c.choices));
    Press(dialog, 1);
    EXPECT_EQ(settings.compressionLevel, c.stored) << c.before;
  }
}

TEST(EncoderConfigDlgs, CancelAndEscapeStoreNothing) {
  ExpectCancelStoresNothing<CMP3EncConfigDlg>("1063=编码决定;1064=立体声;1068=64;1061=1;1054=1");
  ExpectCancelStoresNothing<COggEncConfigDlg>("1054=1;1070=128");
  ExpectCancelStoresNothing<CApeEncConfigDlg>("1073=极高");
}
