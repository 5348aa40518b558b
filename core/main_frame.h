// The program's only top-level window: menus, toolbar, the waveform view, the status bar, and
// the application state that is not the view's (source and cache records, the temporary cache
// file, the player). Every command ends up here.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <memory>
#include <string>

#include "codecs/music.h"
#include "waveview/view_frame.h"

class CWavView;
class CWavViewHost;
class MenuStyle;
class QLabel;
class WavePlayer;

class CMainFrame : public QMainWindow, public ViewFrame {
  Q_OBJECT

 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;  // stops playback, deletes the temporary cache file

  // Opens `path` into the cache and shows it (nothing changes on an unknown type or a failed
  // probe; a cancelled or failed load leaves an empty view).
  void OpenMusic(const QString& path);
  // Creates the temporary cache file; writes its path into `cache` and the temporary name.
  bool MakeCacheFileName(MusicInfo& cache);
  // The split command: the export dialog when something is loaded.
  void SplitCommand();
  // Exports the segment (or what lies outside it) as `type` at `bitrate` with the fades.
  void SplitNow(int type, int bitrate, int fadeInSeconds, int fadeOutSeconds,
                bool exportUnselected);
  // Runs the action of a command id (menu, toolbar, context menu).
  void OnCommand(int id);
  // Opens the first of the dropped files; the others are ignored.
  void OpenDropped(const QList<QUrl>& urls);
  // Opens the file named on the command line (`arguments` as QApplication gives them, the
  // program first) as soon as the event loop runs, as if it had been chosen in the open
  // dialog. Options (arguments starting with '-') are skipped; without a file nothing happens.
  void OpenFromCommandLine(const QStringList& arguments);

  CWavView* view() const { return view_; }
  WavePlayer* player() const { return player_; }
  const MusicInfo& sourceInfo() const { return sourceInfo_; }
  const MusicInfo& cacheInfo() const { return cacheInfo_; }
  const std::string& tempFileName() const { return tempFileName_; }

  // ViewFrame
  void SetMousePosText(const QString& text) override;
  void SetCursorPosText(const QString& text) override;
  void SetLengthText(const QString& text) override;
  void OnViewCommand(int id) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void OpenCommand();
  void EditTimeCommand(int id);
  void DeleteTempFile();
  void ResumeDrawing();
  void SetFormatText(const MusicInfo& info);

  MenuStyle* menuStyle_ = nullptr;
  CWavViewHost* host_ = nullptr;
  CWavView* view_ = nullptr;
  WavePlayer* player_ = nullptr;
  QLabel* mousePane_ = nullptr;
  QLabel* cursorPane_ = nullptr;
  QLabel* formatPane_ = nullptr;
  QLabel* lengthPane_ = nullptr;
  std::string settingsPath_;
  std::string encoderSettingsPath_;
  MusicInfo cacheInfo_;
  MusicInfo sourceInfo_;
  std::string tempFileName_;
};
