// Open and save dialogs, with a hook through which tests answer them.
#pragma once

#include <QString>
#include <QWidget>
#include <functional>

struct FileDialogRequest {
  bool save = false;
  QString filter;         // Qt filter string, entries separated by ";;"
  QString defaultSuffix;  // save dialogs only
};

// Returns the chosen path, or an empty string when the user cancelled.
using FileDialogHook = std::function<QString(const FileDialogRequest&)>;

// Replaces the real dialogs while set (an empty hook restores them).
void SetFileDialogHook(FileDialogHook hook);
// The side bar of the open dialog holds a place for every drive with an audio disc, and a CD
// track typed as "<drive>/TrackNN.cda" is accepted.
QString ChooseOpenFile(QWidget* parent, const QString& filter);
// Asks before an existing file is overwritten.
QString ChooseSaveFile(QWidget* parent, const QString& filter, const QString& defaultSuffix);
