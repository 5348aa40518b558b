// One language and one look: Qt's own dialogs and buttons speak Chinese, and the program's font
// draws Latin text in a sans face and Chinese in the Song face, in every widget.
#include <gtest/gtest.h>

#include <QAbstractFileIconProvider>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTextLayout>

#include "platform/qt/program_look.h"

namespace {

// The faces that draw `text` in `font`, in lower case, separated by commas.
std::string FacesOf(const QString& text, const QFont& font) {
  QTextLayout layout(text, font);
  layout.beginLayout();
  layout.createLine();
  layout.endLayout();
  QStringList faces;
  for (const QGlyphRun& run : layout.glyphRuns()) faces << run.rawFont().familyName().toLower();
  return faces.join(',').toStdString();
}

}  // namespace

TEST(ProgramLook, QtDialogsSpeakChineseInTheProgramFont) {
  ASSERT_TRUE(platform::InstallProgramLook(*qApp)) << "Qt's Chinese translations are missing";

  QMessageBox box(QMessageBox::Question, QStringLiteral("Wavelathe"), QStringLiteral("?"),
                  QMessageBox::Ok | QMessageBox::Yes | QMessageBox::No);
  QStringList buttons;
  for (QAbstractButton* button : box.buttons()) buttons << button->text();
  buttons.sort();
  EXPECT_EQ(buttons, (QStringList{"否(&N)", "是(&Y)", "确定"}));

  QFileDialog dialog;
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  EXPECT_TRUE(dialog.findChild<QLabel*>(QStringLiteral("lookInLabel"))
                  ->text()
                  .startsWith(QStringLiteral("查找范围")));
  EXPECT_EQ(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())),
            QStringLiteral("文件夹"));

  // A list inside a dialog, as the export dialog's format list.
  QComboBox list;
  list.addItem(QStringLiteral("wav"));
  const QFont font = list.view()->font();
  EXPECT_EQ(FacesOf(QStringLiteral("wav 128"), font), "liberation sans");
  EXPECT_EQ(FacesOf(QStringLiteral("秒"), font), "ar pl uming cn");
}
