// The main window and the encoder settings: the Configure menu opens the three dialogs, the
// settings file is read when the window is created and written only when it closes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "codecs/encoder_settings.h"
#include "core/main_frame.h"
#include "tests/support/test_files.h"

using testing_support::TempDir;

namespace {

class MainFrameSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("WAVELATHE_HOME", home_.path().c_str(), 1); }
  void TearDown() override { unsetenv("WAVELATHE_HOME"); }

  TempDir home_;
};

// The fifth menu of the bar, where Configure belongs.
QList<QAction*> ConfigureItems(CMainFrame& frame) {
  return frame.menuBar()->actions().value(4)->menu()->actions();
}

// Triggers `item` and runs `inside` on the modal dialog it opens; returns the dialog's class.
QString RunFromMenu(QAction* item, const std::function<void(QDialog&)>& inside) {
  QString opened;
  QTimer::singleShot(0, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) return;
    opened = QString::fromLatin1(dialog->metaObject()->className());
    inside(*dialog);
    if (dialog->isVisible()) dialog->reject();
  });
  item->trigger();
  return opened;
}

}  // namespace

TEST_F(MainFrameSettingsTest, ConfigureMenuFollowsViewAndOpensEachDialog) {
  CMainFrame frame;
  const QList<QAction*> menus = frame.menuBar()->actions();
  ASSERT_GE(menus.size(), 5);
  EXPECT_EQ(menus[3]->text(), QStringLiteral("视图(&V)"));
  EXPECT_EQ(menus[4]->text(), QStringLiteral("配置(&H)"));
  const QList<QAction*> items = ConfigureItems(frame);
  ASSERT_EQ(items.size(), 3);
  const QString expected[][2] = {{"&MP3 编码 ...", "CMP3EncConfigDlg"},
                                 {"&OGG 编码 ...", "COggEncConfigDlg"},
                                 {"&APE 编码 ...", "CApeEncConfigDlg"}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(items[i]->text(), expected[i][0]);
    EXPECT_EQ(RunFromMenu(items[i], [](QDialog&) {}), expected[i][1]);
  }
}

TEST_F(MainFrameSettingsTest, LoadedAtCreationEditedInMemorySavedAtClose) {
  EncoderSettings stored;
  stored.mp3.vbrQuality = 2;
  stored.compressionLevel = 4000;
  ASSERT_TRUE(SaveEncoderSettings(home_.File("cvtconfig.dat"), stored));
  GlobalEncoderSettings() = EncoderSettings{};

  CMainFrame frame;
  EXPECT_EQ(GlobalEncoderSettings(), stored);
  RunFromMenu(ConfigureItems(frame)[2], [](QDialog& dialog) {
    dialog.findChild<QComboBox*>("1073")->setCurrentIndex(0);  // "快"
    dialog.findChild<QPushButton*>("1")->click();
  });
  EXPECT_EQ(GlobalEncoderSettings().compressionLevel, 1000);

  EncoderSettings onDisk;
  LoadEncoderSettings(home_.File("cvtconfig.dat"), onDisk);
  EXPECT_EQ(onDisk, stored);  // nothing is written before the window closes
  frame.close();
  LoadEncoderSettings(home_.File("cvtconfig.dat"), onDisk);
  stored.compressionLevel = 1000;
  EXPECT_EQ(onDisk, stored);
}
