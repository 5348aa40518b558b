// Pieces shared by the encoder settings dialogs: controls named after their template ids, the
// OK/Cancel pair, and the decimal reading of edit texts.
#pragma once

#include <QDialog>
#include <QRect>
#include <QString>
#include <QStringList>
#include <cstddef>

class DialogLayout;
class QComboBox;
class QGroupBox;
class QPushButton;

namespace config_controls {

QString Text(const char* utf8);

// Gives `control` its template id as object name and returns it.
template <typename Control>
Control* Named(Control* control, int id) {
  control->setObjectName(QString::number(id));
  return control;
}

// A modal dialog with a caption, a system menu and a close button.
void InitDialog(QDialog* dialog, const char* caption);
// OK (id 1, the default button) and Cancel (id 2, rejects), each 50 × 14 units at the given
// positions. Returns OK for the caller to connect.
QPushButton* AddOkCancel(QDialog* dialog, const DialogLayout& layout, QPoint ok, QPoint cancel);
// The UTF-8 texts of a table, in order.
template <std::size_t N>
QStringList Texts(const char* const (&utf8)[N]) {
  QStringList list;
  for (const char* text : utf8) list << Text(text);
  return list;
}

// A static label and a drop-down list `id` holding `items`, with nothing selected.
QComboBox* AddList(QDialog* dialog, const DialogLayout& layout, int id, const char* label,
                   const QRect& labelRect, const QRect& listRect, const QStringList& items);
// A group box at the rectangle (in units) whose title interrupts its top line, with the line at
// half the title's height, as in a dialog template. Create it before the controls it frames.
QGroupBox* AddGroup(QDialog* dialog, const DialogLayout& layout, const char* title,
                    const QRect& rect);
// Selects `index` when it names an entry; otherwise leaves the list without a selection.
void SelectIndex(QComboBox* list, int index);

// The leading decimal integer of `text` as C's atoi reads it: leading blanks, an optional sign,
// digits; 0 when there are none; saturated to the 32-bit range.
int DecimalValue(const QString& text);

}  // namespace config_controls
