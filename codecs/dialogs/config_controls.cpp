#include "codecs/dialogs/config_controls.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cstdint>
#include <limits>

#include "platform/qt/dialog_layout.h"
#include "res/frame_texts.h"
#include "res/settings_texts.h"

namespace config_controls {

QString Text(const char* utf8) { return QString::fromUtf8(utf8); }

void InitDialog(QDialog* dialog, const char* caption) {
  dialog->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog->setModal(true);
  dialog->setWindowTitle(Text(caption));
}

QPushButton* AddOkCancel(QDialog* dialog, const DialogLayout& layout, QPoint ok, QPoint cancel) {
  auto* okButton = Named(new QPushButton(Text(texts::kOk), dialog), 1);
  okButton->setDefault(true);
  layout.Place(okButton, ok.x(), ok.y(), 50, 14);
  auto* cancelButton = Named(new QPushButton(Text(texts::kConfigCancel), dialog), 2);
  cancelButton->setAutoDefault(false);
  layout.Place(cancelButton, cancel.x(), cancel.y(), 50, 14);
  QObject::connect(cancelButton, &QPushButton::clicked, dialog, &QDialog::reject);
  return okButton;
}

QComboBox* AddList(QDialog* dialog, const DialogLayout& layout, int id, const char* label,
                   const QRect& labelRect, const QRect& listRect, const QStringList& items) {
  layout.Place(new QLabel(Text(label), dialog), labelRect.x(), labelRect.y(), labelRect.width(),
               labelRect.height());
  auto* list = Named(new QComboBox(dialog), id);
  layout.Place(list, listRect.x(), listRect.y(), listRect.width(), listRect.height());
  list->addItems(items);
  list->setCurrentIndex(-1);
  return list;
}

QGroupBox* AddGroup(QDialog* dialog, const DialogLayout& layout, const char* title,
                    const QRect& rect) {
  auto* group = new QGroupBox(Text(title), dialog);
  group->setStyleSheet(
      QStringLiteral("QGroupBox { border: 1px solid palette(mid); margin-top: %1px; }"
                     "QGroupBox::title { subcontrol-origin: margin; left: %2px; padding: 0 2px; }")
          .arg(layout.charHeight() / 2)
          .arg(layout.X(4)));
  layout.Place(group, rect.x(), rect.y(), rect.width(), rect.height());
  return group;
}

void SelectIndex(QComboBox* list, int index) {
  list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
}

int DecimalValue(const QString& text) {
  qsizetype i = 0;
  while (i < text.size() && (text[i] == QLatin1Char(' ') ||
                             (text[i] >= QLatin1Char('\t') && text[i] <= QLatin1Char('\r'))))
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
    negative = text[i++] == QLatin1Char('-');
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
    value = std::min(kLimit, value * 10 + (text[i].unicode() - '0'));
  if (negative) return static_cast<int>(-value);
  return static_cast<int>(std::min(value, kLimit - 1));
}

}  // namespace config_controls
