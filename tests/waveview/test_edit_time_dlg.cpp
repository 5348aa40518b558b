// The time entry dialog: the fields it opens with, what OK accepts or reports, and the
// millisecond/frame conversions of the edit commands.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <array>
#include <limits>

#include "tests/support/recording_message_box.h"
#include "waveview/edit_time_dlg.h"

namespace {

using Fields = std::array<const char*, 4>;

QLineEdit* Field(CEditTimeDlg& dialog, int index) {
  return dialog.findChild<QLineEdit*>(QString::number(1022 + index));
}

}  // namespace

TEST(EditTimeDlg, OpensWithTheTimeOfThePositionAndTheModesCaption) {
  struct Case {
    int mode;
    std::int64_t frames;
    int rate;
    const char* caption;
    Fields fields;
  };
  const Case cases[] = {
      {0, 2'888'550, 44100, "编辑当前位置", {"0", "1", "5", "500"}},
      {1, 164'184'477, 44100, "编辑片断开头", {"1", "2", "3", "4"}},
      {2, 44'100LL * 360'000, 44100, "编辑片断结尾", {"100", "0", "0", "0"}},  // 100 hours
      {7, 12'345, 0, "对话框", {"0", "0", "0", "0"}},  // nothing loaded: no rate
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption);
    CEditTimeDlg dialog(c.mode, CEditTimeDlg::FramesToMs(c.frames, c.rate));
    EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8(c.caption));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Field(dialog, i)->text(), c.fields[i]) << i;
  }
}

TEST(EditTimeDlg, OkAcceptsDigitsOnlyAndReportsEachOtherField) {
  struct Case {
    Fields typed;
    std::int64_t valueMs;  // -1: the dialog stays open
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {{"1", "2", "3", "4"}, 3'723'004, {}},
      {{"0", "90", "0", "0"}, 5'400'000, {}},
      {{"", "", "", ""}, 0, {}},
      {{"123", "99", "99", "9999"}, 12 * 3'600'000 + 99 * 60'000 + 99'000 + 999, {}},  // lengths
      {{"0", "0", "5x", "0"}, -1, {"秒必须为数字！"}},
      {{"a", "-1", "0", "1.5"}, -1, {"小时必须为数字！", "分钟必须为数字！", "毫秒必须为数字！"}},
      {{"１", " 2", "0", "0"}, -1, {"小时必须为数字！", "分钟必须为数字！"}},  // not 0–9
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed[0] + std::string("|") + c.typed[1] + "|" + c.typed[2]);
    testing_support::RecordingMessageBox boxes;
    CEditTimeDlg dialog(0, 7'000);
    dialog.show();
    for (int i = 0; i < 4; ++i) {
      Field(dialog, i)->clear();
      Field(dialog, i)->insert(QString::fromUtf8(c.typed[i]));  // as typed: within the length
    }
    dialog.findChild<QPushButton*>(QStringLiteral("1"))->click();
    EXPECT_EQ(boxes.Texts(), c.messages);
    EXPECT_EQ(dialog.isVisible(), c.valueMs < 0);
    EXPECT_EQ(dialog.valueMs(), c.valueMs < 0 ? 7'000 : c.valueMs);
  }
}

TEST(EditTimeDlg, ConvertsIn64BitsTruncating) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(CEditTimeDlg::MsToFrames(3'723'004, 44100), 164'184'476);
  EXPECT_EQ(CEditTimeDlg::FramesToMs(164'184'476, 44100), 3'723'003);  // truncated twice
  EXPECT_EQ(CEditTimeDlg::FramesToMs(44'099, 44100), 999);
  EXPECT_EQ(CEditTimeDlg::MsToFrames(1, 8000), 8);
  EXPECT_EQ(CEditTimeDlg::FramesToMs(kMax, 1), kMax);  // saturates instead of wrapping
  EXPECT_EQ(CEditTimeDlg::MsToFrames(kMax, 44100), kMax);
  EXPECT_EQ(CEditTimeDlg::MsToFrames(5, 0), 0);
}
