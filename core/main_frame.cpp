#include "core/main_frame.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>

#include "codecs/dialogs/ape_enc_config_dlg.h"
#include "codecs/dialogs/mp3_enc_config_dlg.h"
#include "codecs/dialogs/ogg_enc_config_dlg.h"
#include "codecs/encoder_settings.h"
#include "codecs/music_registry.h"
#include "core/about_dlg.h"
#include "core/app_settings.h"
#include "core/command_ids.h"
#include "core/file_dialogs.h"
#include "core/menu_style.h"
#include "core/program_icon.h"
#include "core/toolbar_icons.h"
#include "platform/paths.h"
#include "playback/wave_player.h"
#include "res/frame_texts.h"
#include "waveview/edit_time_dlg.h"
#include "waveview/wav_view.h"
#include "waveview/wav_view_host.h"

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

struct MenuItem {
  int id;  // 0 = separator
  const char* text;
};

QLabel* AddPane(QStatusBar* bar, const char* prototype) {
  auto* pane = new QLabel(bar);
  pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  const int margins = pane->contentsMargins().left() + pane->contentsMargins().right();
  pane->setFixedWidth(pane->fontMetrics().horizontalAdvance(Text(prototype)) + margins + 8);
  bar->addPermanentWidget(pane);
  return pane;
}

// "所有支持的音乐文件 (*.wav *.mp3 …);;wav 文件 (*.wav);;…;;所有文件 (*)"
QString OpenFilter() {
  QStringList patterns;
  QStringList entries;
  for (const MusicFormat& format : MusicFormats()) {
    if (!format.canRead) continue;
    const QString name = QString::fromLatin1(format.extension);
    patterns << QStringLiteral("*.") + name;
    entries << name + Text(texts::kFilterFileSuffix) + QStringLiteral(" (*.") + name + ')';
  }
  entries.prepend(Text(texts::kFilterAllMusic) + QStringLiteral(" (") + patterns.join(' ') + ')');
  entries << Text(texts::kFilterAllFiles) + QStringLiteral(" (*)");
  return entries.join(QStringLiteral(";;"));
}

// Edits the process-wide encoder settings in a modal `Dialog`.
template <typename Dialog>
void RunSettingsDialog(QWidget* parent) {
  Dialog dialog(GlobalEncoderSettings(), parent);
  dialog.exec();
}

}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  const SettingsPaths paths = ComputeSettingsPaths();
  settingsPath_ = paths.settings;
  encoderSettingsPath_ = paths.encoderSettings;
  setWindowIcon(ProgramIcon());
  resize(900, 600);  // the default placement
  CreateMenus();     // the menu and accelerators come with the window, before its parts
  host_ = new CWavViewHost(this);
  setCentralWidget(host_);
  view_ = host_->view();
  view_->SetFrame(this);
  CreateToolBar();
  CreateStatusBar();
  player_ = new WavePlayer(view_, this);
  setWindowTitle(Text(texts::kAppTitle));
  menuStyle_ = new MenuStyle;
  menuStyle_->setParent(this);
  for (QAction* popup : menuBar()->actions())
    if (popup->menu() != nullptr) menuStyle_->Apply(popup->menu());
  LoadEncoderSettings(encoderSettingsPath_, GlobalEncoderSettings());
  RestoreWindowPlacement(*this, settingsPath_);
  setAcceptDrops(true);
}

CMainFrame::~CMainFrame() {
  player_->Stop();
  // At exit the name is forgotten whether or not the file could be deleted.
  if (!tempFileName_.empty()) platform::DeleteFile(tempFileName_);
  tempFileName_.clear();
}

void CMainFrame::CreateMenus() {
  const auto addMenu = [this](const char* title, std::initializer_list<MenuItem> items) {
    QMenu* menu = menuBar()->addMenu(Text(title));
    for (const MenuItem& item : items) {
      if (item.id == 0) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(Text(item.text));
      action->setData(item.id);
      if (const int image = cmd::ToolbarImage(item.id); image >= 0)
        action->setIcon(QIcon(ToolbarPixmap(image)));
      const int id = item.id;
      connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
  };
  addMenu(texts::kMenuFile, {{cmd::kOpen, texts::kCmdOpen},
                             {cmd::kSplit, texts::kCmdSplit},
                             {0, nullptr},
                             {cmd::kExit, texts::kCmdExit}});
  addMenu(texts::kMenuPlay, {{cmd::kMoveBegin, texts::kCmdMoveBegin},
                             {cmd::kMoveEnd, texts::kCmdMoveEnd},
                             {cmd::kPlay, texts::kCmdPlay},
                             {cmd::kPause, texts::kCmdPause},
                             {cmd::kStop, texts::kCmdStop},
                             {0, nullptr},
                             {cmd::kMoveSegStart, texts::kCmdMoveSegStart},
                             {cmd::kMoveSegEnd, texts::kCmdMoveSegEnd},
                             {cmd::kPlaySeg, texts::kCmdPlaySeg}});
  addMenu(texts::kMenuEdit, {{cmd::kMarkStart, texts::kCmdMarkStart},
                             {cmd::kMarkEnd, texts::kCmdMarkEnd},
                             {cmd::kMarkAll, texts::kCmdMarkAll},
                             {0, nullptr},
                             {cmd::kEditSegStart, texts::kCmdEditSegStart},
                             {cmd::kEditSegEnd, texts::kCmdEditSegEnd},
                             {cmd::kEditCursor, texts::kCmdEditCursor}});
  addMenu(texts::kMenuView, {{cmd::kZoomIn, texts::kCmdZoomIn},
                             {cmd::kZoomOut, texts::kCmdZoomOut},
                             {cmd::kBestFit, texts::kCmdBestFit}});
  addMenu(texts::kMenuConfigure, {{cmd::kConfigMp3, texts::kCmdConfigMp3},
                                  {cmd::kConfigOgg, texts::kCmdConfigOgg},
                                  {cmd::kConfigApe, texts::kCmdConfigApe}});
  addMenu(texts::kMenuHelp, {{cmd::kAbout, texts::kCmdAbout}});
  // The accelerator table: function keys without modifiers.
  auto* open = new QShortcut(QKeySequence(Qt::Key_F2), this);
  connect(open, &QShortcut::activated, this, [this] { OnCommand(cmd::kOpen); });
  auto* split = new QShortcut(QKeySequence(Qt::Key_F5), this);
  connect(split, &QShortcut::activated, this, [this] { OnCommand(cmd::kSplit); });
}

void CMainFrame::CreateToolBar() {
  QToolBar* bar = addToolBar(QString());
  bar->setObjectName(QStringLiteral("toolbar"));
  bar->setIconSize(QSize(20, 20));
  bar->setFloatable(false);
  constexpr int kSeparatorsBefore[] = {2, 7, 10, 13, 16};  // buttons that start a group
  for (int button = 1; button <= cmd::kToolbarCount; ++button) {
    for (int first : kSeparatorsBefore)
      if (button == first) bar->addSeparator();
    QAction* action =
        bar->addAction(QIcon(ToolbarPixmap(button - 1)), Text(texts::kToolTips[button - 1]));
    action->setToolTip(Text(texts::kToolTips[button - 1]));
    connect(action, &QAction::triggered, this, [this, button] { OnCommand(button); });
  }
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  mousePane_ = AddPane(bar, texts::kPaneMousePrototype);
  cursorPane_ = AddPane(bar, texts::kPaneCursorPrototype);
  formatPane_ = AddPane(bar, texts::kPaneFormatPrototype);
  lengthPane_ = AddPane(bar, texts::kPaneLengthPrototype);
}

void CMainFrame::OnCommand(int rawId) {
  const int id = cmd::Canonical(rawId);
  CWavView& v = *view_;
  switch (id) {
    case cmd::kOpen: OpenCommand(); break;
    case cmd::kSplit: SplitCommand(); break;
    case cmd::kExit: close(); break;
    case cmd::kMoveBegin: v.MoveCursor(0); break;
    case cmd::kMoveEnd: v.MoveCursor(v.totalFrames); break;
    case cmd::kPlay: PlayFromCursor(*player_, v, cacheInfo_); break;
    case cmd::kPause: player_->TogglePause(); break;
    case cmd::kStop: player_->Stop(); break;
    case cmd::kMoveSegStart: v.MoveCursor(v.segStart); break;
    case cmd::kMoveSegEnd: v.MoveCursor(v.segEnd); break;
    case cmd::kPlaySeg: PlaySegment(*player_, v, cacheInfo_); break;
    case cmd::kMarkStart: v.SetSegment(v.cursorPos, v.segEnd); break;
    case cmd::kMarkEnd: v.SetSegment(v.segStart, v.cursorPos); break;
    case cmd::kMarkAll: v.SetSegment(0, v.totalFrames); break;
    case cmd::kZoomIn: v.SetZoom(v.zoom * (4.0 / 3.0)); break;
    case cmd::kZoomOut: v.SetZoom(std::max(v.zoom * 0.75, 1.0)); break;
    case cmd::kBestFit: v.SetZoom(1.0); break;
    case cmd::kConfigMp3: RunSettingsDialog<CMP3EncConfigDlg>(this); break;
    case cmd::kConfigOgg: RunSettingsDialog<COggEncConfigDlg>(this); break;
    case cmd::kConfigApe: RunSettingsDialog<CApeEncConfigDlg>(this); break;
    case cmd::kEditSegStart:
    case cmd::kEditSegEnd:
    case cmd::kEditCursor: EditTimeCommand(id); break;
    case cmd::kAbout: CAboutDlg(this).exec(); break;
    default: break;
  }
}

void CMainFrame::OpenCommand() {
  const QString path = ChooseOpenFile(this, OpenFilter());
  if (!path.isEmpty()) OpenMusic(path);
}

// The position in milliseconds of the cache's rate, typed anew; the view keeps the result
// inside the file.
void CMainFrame::EditTimeCommand(int id) {
  const int rate = cacheInfo_.sampleRate;
  CWavView& v = *view_;
  const int mode = id == cmd::kEditCursor     ? CEditTimeDlg::kCursor
                   : id == cmd::kEditSegStart ? CEditTimeDlg::kSegStart
                                              : CEditTimeDlg::kSegEnd;
  const std::int64_t frames = mode == CEditTimeDlg::kCursor     ? v.cursorPos
                              : mode == CEditTimeDlg::kSegStart ? v.segStart
                                                                : v.segEnd;
  CEditTimeDlg dialog(mode, CEditTimeDlg::FramesToMs(frames, rate), this);
  if (dialog.exec() != QDialog::Accepted) return;
  const std::int64_t p = CEditTimeDlg::MsToFrames(dialog.valueMs(), rate);
  switch (mode) {
    case CEditTimeDlg::kCursor: v.MoveCursor(p); break;
    case CEditTimeDlg::kSegStart: v.SetSegment(p, v.segEnd); break;
    default: v.SetSegment(v.segStart, p); break;
  }
}

void CMainFrame::SetFormatText(const MusicInfo& info) {
  const char* format = info.channels == 1 ? texts::kFormatMono : texts::kFormatStereo;
  formatPane_->setText(Text(format).arg(info.sampleRate).arg(info.bitsPerSample));
}

void CMainFrame::SetMousePosText(const QString& text) {
  mousePane_->setText(text);
  mousePane_->repaint();
}

void CMainFrame::SetCursorPosText(const QString& text) {
  cursorPane_->setText(text);
  cursorPane_->repaint();
}

void CMainFrame::SetLengthText(const QString& text) {
  lengthPane_->setText(text);
  lengthPane_->repaint();
}

void CMainFrame::OnViewCommand(int id) { OnCommand(id); }

void CMainFrame::closeEvent(QCloseEvent* event) {
  player_->Stop();
  SaveWindowPlacement(*this, settingsPath_);
  SaveEncoderSettings(encoderSettingsPath_, GlobalEncoderSettings());
  event->accept();
}

// Only the vertical wheel zooms; sideways scrolling (tilt wheels, touchpads) is not a zoom.
void CMainFrame::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta == 0) return;
  OnCommand(delta > 0 ? cmd::kZoomIn : cmd::kZoomOut);
  event->accept();
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  OpenDropped(event->mimeData()->urls());
}

void CMainFrame::OpenDropped(const QList<QUrl>& urls) {
  if (urls.isEmpty() || !urls.first().isLocalFile()) return;
  OpenMusic(urls.first().toLocalFile());
}
