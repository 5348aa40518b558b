#include "core/file_dialogs.h"

#include <QFileDialog>
#include <utility>

namespace {

FileDialogHook& Hook() {
  static FileDialogHook hook;
  return hook;
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
  QFileDialog dialog(parent);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(filter.split(QStringLiteral(";;")));
  return RunDialog(dialog);
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
