#include "waveview/wav_view_host.h"

#include <QVBoxLayout>

#include "waveview/wav_view.h"

CWavViewHost::CWavViewHost(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  setAttribute(Qt::WA_NoSystemBackground);
  view_ = new CWavView(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view_);
  setFocusProxy(view_);
}
