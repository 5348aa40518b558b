#include "waveview/edit_time_dlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>
#include <limits>

#include "platform/message_box.h"
#include "platform/qt/dialog_layout.h"
#include "res/view_texts.h"

namespace {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

struct Field {
  int id;
  int x;
  int maxLength;
};
constexpr Field kFields[4] = {{1022, 7, 2}, {1023, 43, 2}, {1024, 80, 2}, {1025, 116, 3}};
constexpr std::int64_t kFieldScale[4] = {3'600'000, 60'000, 1000, 1};

struct Separator {
  const char* text;
  int x;
  int y;
};
constexpr Separator kSeparators[3] = {{":", 34, 9}, {":", 71, 9}, {".", 106, 10}};

std::int64_t Saturate(__int128 value) {
  constexpr auto kMax = std::numeric_limits<std::int64_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(std::clamp<__int128>(value, kMin, kMax));
}

bool AllDigits(const QString& text) {
  return std::all_of(text.begin(), text.end(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// Digits only (checked before), at most as many as the longest field takes.
std::int64_t DecimalOf(const QString& text) {
  std::int64_t value = 0;
  for (const QChar c : text) value = value * 10 + (c.unicode() - '0');
  return value;
}

}  // namespace

CEditTimeDlg::CEditTimeDlg(int mode, std::int64_t valueMs, QWidget* parent)
    : QDialog(parent), valueMs_(valueMs) {
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setModal(true);
  const bool known = mode >= kCursor && mode <= kSegEnd;
  setWindowTitle(Text(known ? texts::kEditTimeCaptions[mode] : texts::kEditTimeTemplateCaption));
  CreateControls();
  ShowValue();
}

void CEditTimeDlg::CreateControls() {
  const DialogLayout layout(this, 146, 49);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    fields_[i] = new QLineEdit(this);
    fields_[i]->setObjectName(QString::number(kFields[i].id));
    fields_[i]->setMaxLength(kFields[i].maxLength);
    layout.Place(fields_[i], kFields[i].x, 7, 23, 14);
  }
  for (const Separator& separator : kSeparators)
    layout.Place(new QLabel(Text(separator.text), this), separator.x, separator.y, 8, 8);
  auto* ok = new QPushButton(Text(texts::kEditTimeOk), this);
  ok->setObjectName(QStringLiteral("1"));
  ok->setDefault(true);
  layout.Place(ok, 27, 28, 50, 14);
  auto* cancel = new QPushButton(Text(texts::kEditTimeCancel), this);
  cancel->setObjectName(QStringLiteral("2"));
  cancel->setAutoDefault(false);
  layout.Place(cancel, 81, 28, 50, 14);
  connect(ok, &QPushButton::clicked, this, &CEditTimeDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CEditTimeDlg::reject);
}

void CEditTimeDlg::ShowValue() {
  const std::int64_t parts[4] = {valueMs_ / 3'600'000, valueMs_ / 1000 / 60 % 60,
                                 valueMs_ / 1000 % 60, valueMs_ % 1000};
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const QString text = QString::number(parts[i]);
    // A position past 99 hours keeps all its digits rather than being cut to another time.
    fields_[i]->setMaxLength(std::max<int>(kFields[i].maxLength, text.size()));
    fields_[i]->setText(text);
  }
  // The first field has the focus with its text selected, so typing replaces it.
  fields_[0]->selectAll();
}

void CEditTimeDlg::accept() {
  bool valid = true;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (AllDigits(fields_[i]->text())) continue;
    platform::ShowMessage(texts::kEditTimeNotNumber[i]);
    valid = false;
  }
  if (!valid) return;
  __int128 value = 0;
  for (std::size_t i = 0; i < fields_.size(); ++i)
    value += static_cast<__int128>(DecimalOf(fields_[i]->text())) * kFieldScale[i];
  valueMs_ = Saturate(value);
  QDialog::accept();
}

std::int64_t CEditTimeDlg::FramesToMs(std::int64_t frames, int rate) {
  if (rate <= 0) return 0;
  return Saturate(static_cast<__int128>(frames) * 1000 / rate);
}

std::int64_t CEditTimeDlg::MsToFrames(std::int64_t ms, int rate) {
  if (rate <= 0) return 0;
  return Saturate(static_cast<__int128>(rate) * ms / 1000);
}
