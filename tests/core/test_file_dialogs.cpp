#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <functional>

#include "core/file_dialogs.h"
#include "tests/support/disc_image.h"
#include "tests/support/test_files.h"

namespace {

// Calls `answer` on the file dialog once it is up, and again every few milliseconds until it
// returns true (the dialog fills its folder listing asynchronously).
void WhenFileDialogShows(std::function<bool(QFileDialog*)> answer) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, answer] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isVisible() || !answer(dialog)) return;
    timer->stop();
    timer->deleteLater();
  });
  timer->start(20);
}

// Types `path` into the name field, as a user would (selectFile leaves a focused field alone),
// and presses the accepting button once the dialog has taken the name.
bool Choose(QFileDialog* dialog, const std::string& path) {
  const QString name = QString::fromStdString(path);
  auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  if (field == nullptr) return false;
  field->setText(name);
  const QStringList files = dialog->selectedFiles();
  if (files.size() != 1 || !files[0].startsWith(name)) return false;
  static_cast<QDialog*>(dialog)->accept();  // public in QDialog, dispatched to QFileDialog
  return true;
}

}  // namespace

TEST(FileDialogs, HookAnswersBothDialogsUntilCleared) {
  std::vector<FileDialogRequest> requests;
  SetFileDialogHook([&requests](const FileDialogRequest& r) {
    requests.push_back(r);
    return r.save ? QStringLiteral("/x/out.mp3") : QString();
  });
  EXPECT_EQ(ChooseSaveFile(nullptr, "mp3 文件 (*.mp3)", "mp3"), "/x/out.mp3");
  EXPECT_EQ(ChooseOpenFile(nullptr, "wav 文件 (*.wav)"), "");
  SetFileDialogHook(nullptr);
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_TRUE(requests[0].save);
  EXPECT_EQ(requests[0].filter, "mp3 文件 (*.mp3)");
  EXPECT_EQ(requests[0].defaultSuffix, "mp3");
  EXPECT_FALSE(requests[1].save);
  EXPECT_EQ(requests[1].filter, "wav 文件 (*.wav)");
}

TEST(FileDialogs, RealSaveDialogConfirmsOverwriteAndAddsTheDefaultSuffix) {
  testing_support::TempDir dir;
  bool seen = false;
  WhenFileDialogShows([&](QFileDialog* dialog) {
    if (!seen) {
      seen = true;
      EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
      EXPECT_FALSE(dialog->testOption(QFileDialog::DontConfirmOverwrite));
      EXPECT_EQ(dialog->defaultSuffix(), "ogg");
      EXPECT_EQ(dialog->nameFilters(), QStringList{"ogg 文件 (*.ogg)"});
    }
    return Choose(dialog, dir.File("piece"));
  });
  const QString path = ChooseSaveFile(nullptr, "ogg 文件 (*.ogg)", "ogg");
  EXPECT_TRUE(seen);
  EXPECT_EQ(path.toStdString(), dir.File("piece.ogg"));
}

TEST(FileDialogs, RealOpenDialogReturnsTheChosenFileOrNothing) {
  testing_support::TempDir dir;
  testing_support::WriteFileBytes(dir.File("a.wav"), {1, 2, 3});
  WhenFileDialogShows([&](QFileDialog* dialog) {
    EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog->fileMode(), QFileDialog::ExistingFile);
    return Choose(dialog, dir.File("a.wav"));
  });
  EXPECT_EQ(ChooseOpenFile(nullptr, "wav 文件 (*.wav);;所有文件 (*)").toStdString(),
            dir.File("a.wav"));

  WhenFileDialogShows([](QFileDialog* dialog) {
    dialog->reject();
    return true;
  });
  EXPECT_TRUE(ChooseOpenFile(nullptr, "wav 文件 (*.wav)").isEmpty());
}

TEST(FileDialogs, OpenDialogHasAPlacePerAudioDiscAndTakesTypedTrackPaths) {
  testing_support::TempDir home, media;
  const std::string audio = cd_testing::WriteDiscImage(media, "disc", {{true, 30}, {true, 20}});
  const std::string data = cd_testing::WriteDiscImage(media, "data", {{false, 30}});
  setenv("WAVELATHE_HOME", home.path().c_str(), 1);
  setenv("WAVELATHE_CD_DRIVES", (data + ":" + audio).c_str(), 1);
  const std::string place = home.File("cd/disc.cue");

  // The user clicks the disc's place and picks its second track there.
  const QUrl placeUrl = QUrl::fromLocalFile(QString::fromStdString(place));
  QList<QUrl> shownPlaces;
  WhenFileDialogShows([&](QFileDialog* dialog) {
    auto* sidebar = dialog->findChild<QListView*>(QStringLiteral("sidebar"));
    if (sidebar == nullptr) return false;
    shownPlaces = dialog->sidebarUrls();
    const QModelIndex index = sidebar->model()->index(shownPlaces.indexOf(placeUrl), 0);
    if (index.isValid()) {
      QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {},
                        sidebar->visualRect(index).center());
    }
    if (dialog->directory().absolutePath().toStdString() != place) {
      dialog->reject();
      return true;
    }
    return Choose(dialog, place + "/Track02.cda");
  });
  EXPECT_EQ(ChooseOpenFile(nullptr, "cda 文件 (*.cda)").toStdString(), place + "/Track02.cda");
  EXPECT_FALSE(shownPlaces.contains(QUrl::fromLocalFile(home.File("cd/data.cue").c_str())))
      << "a disc without audio has no place";
  // The next run shows the drives of its own time, not these.
  const QString remembered = QSettings(QSettings::UserScope, "QtProject")
                                 .value("FileDialog/shortcuts")
                                 .toStringList()
                                 .join(" ");
  EXPECT_FALSE(remembered.contains(home.path().c_str())) << remembered.toStdString();

  // A track typed with its drive is taken as it is (not refused as a missing file, whose
  // warning the guard would close).
  QTimer::singleShot(5000, [] {
    for (int i = 0; i < 3; ++i) {
      if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) modal->reject();
    }
  });
  WhenFileDialogShows([&](QFileDialog* dialog) { return Choose(dialog, audio + "/Track01.cda"); });
  EXPECT_EQ(ChooseOpenFile(nullptr, "cda 文件 (*.cda)").toStdString(), audio + "/Track01.cda");
  unsetenv("WAVELATHE_CD_DRIVES");
  unsetenv("WAVELATHE_HOME");
}
