#include "core/file_dialogs.h"

#include <QFileDialog>
#include <QUrl>
#include <utility>

#include "platform/cdrom/audio_drives.h"
#include "platform/cdrom/track_path.h"
#include "platform/paths.h"

namespace {

FileDialogHook& Hook() {
  static FileDialogHook hook;
  return hook;
}

// The open dialog also takes a CD track typed as "<drive>/TrackNN.cda": no such file exists,
// but the drive does and reading the path gives the track's file.
class OpenFileDialog : public QFileDialog {
 public:
  using QFileDialog::QFileDialog;

  void accept() override {
    const QStringList files = selectedFiles();
    std::string drive;
    int position = 0;
    if (files.size() == 1 &&
        platform::cdrom::SplitDriveTrackPath(files[0].toStdString(), drive, position)) {
      QDialog::accept();
      return;
    }
    QFileDialog::accept();
  }
};

// Every drive holding an audio disc gets a place in the side bar: a folder named after the
// drive that holds its track files (a file dialog shows only real folders). Returns the
// places added.
QList<QUrl> AddCdPlaces(QFileDialog& dialog) {
  QList<QUrl> added;
  const std::string appDir = platform::ApplicationDir();
  if (appDir.empty()) return added;
  for (const platform::cdrom::AudioDrive& drive : platform::cdrom::ListAudioDrives()) {
    const std::string folder = platform::cdrom::MaterializeDriveFolder(drive, appDir + "/cd");
    if (!folder.empty()) added << QUrl::fromLocalFile(QString::fromStdString(folder));
  }
  dialog.setSidebarUrls(dialog.sidebarUrls() + added);
  return added;
}

// The dialog remembers its side bar for the next run; the places of drives are not kept,
// since the discs may be gone by then.
void RemovePlaces(QFileDialog& dialog, const QList<QUrl>& places) {
  QList<QUrl> kept = dialog.sidebarUrls();
  for (const QUrl& place : places) kept.removeAll(place);
  dialog.setSidebarUrls(kept);
}

QString RunDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted) return {};
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

void SetFileDialogHook(FileDialogHook hook) { Hook() = std::move(hook); }

QString ChooseOpenFile(QWidget* parent, const QString& filter) {
  if (Hook()) return Hook()(FileDialogRequest{false, filter, {}});
  OpenFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  // A system dialog would show neither the CD places nor take a typed track path.
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  const QList<QUrl> cdPlaces = AddCdPlaces(dialog);
  const QString chosen = RunDialog(dialog);
  RemovePlaces(dialog, cdPlaces);
  return chosen;
}

QString ChooseSaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix) {
  if (Hook()) return Hook()(FileDialogRequest{true, filter, defaultSuffix});
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  dialog.setDefaultSuffix(defaultSuffix);
  return RunDialog(dialog);
}
