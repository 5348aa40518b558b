#include "core/about_dlg.h"

#include <QLabel>
#include <QPushButton>

#include "core/program_icon.h"
#include "platform/qt/dialog_layout.h"
#include "res/frame_texts.h"

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr int kIconPixels = 32;  // an icon control shows the icon at its own size

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  setWindowTitle(Text(texts::kAboutCaption));
  const DialogLayout layout(this, 213, 86);
  auto* icon = new QLabel(this);
  icon->setPixmap(ProgramIcon().pixmap(kIconPixels, kIconPixels));
  icon->setGeometry(layout.X(11), layout.Y(17), kIconPixels, kIconPixels);
  layout.Place(new QLabel(Text(texts::kAppTitle), this), 40, 10, 119, 8);
  layout.Place(new QLabel(Text(texts::kAboutVersion), this), 40, 32, 119, 8);
  auto* ok = new QPushButton(Text(texts::kOk), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  layout.Place(ok, 138, 63, 50, 16);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
