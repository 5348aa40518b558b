#include "codecs/dialogs/ogg_enc_config_dlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "codecs/dialogs/config_controls.h"
#include "platform/message_box.h"
#include "platform/qt/dialog_layout.h"
#include "res/settings_texts.h"

using namespace config_controls;

namespace {

void ShowLimit(QCheckBox* box, QLineEdit* edit, std::int32_t value) {
  box->setChecked(value > 0);
  edit->setEnabled(value > 0);
  if (value > 0) edit->setText(QString::number(value));
}

// The value to store for a limit: -1 when unchecked, the typed value when positive; false for
// a checked limit that is not positive.
bool ReadLimit(const QCheckBox* box, const QLineEdit* edit, std::int32_t* value) {
  if (!box->isChecked()) {
    *value = -1;
    return true;
  }
  *value = DecimalValue(edit->text());
  return *value > 0;
}

}  // namespace

COggEncConfigDlg::COggEncConfigDlg(EncoderSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  InitDialog(this, texts::kOggConfigCaption);
  const DialogLayout layout(this, 236, 110);
  auto* explanation = Named(new QPlainTextEdit(Text(texts::kOggExplanation), this), 1072);
  explanation->setReadOnly(true);
  layout.Place(explanation, 7, 7, 222, 56);
  max_ = AddLimit(layout, 1054, 1070, texts::kOggSetMax, 72);
  min_ = AddLimit(layout, 1069, 1071, texts::kOggSetMin, 90);
  connect(AddOkCancel(this, layout, {179, 70}, {179, 88}), &QPushButton::clicked, this,
          &COggEncConfigDlg::OnOk);
  ShowLimit(max_.box, max_.edit, settings_.ogg.maxBitrate);
  ShowLimit(min_.box, min_.edit, settings_.ogg.minBitrate);
}

COggEncConfigDlg::Limit COggEncConfigDlg::AddLimit(const DialogLayout& layout, int boxId,
                                                   int editId, const char* text, int y) {
  Limit limit{Named(new QCheckBox(Text(text), this), boxId), Named(new QLineEdit(this), editId)};
  layout.Place(limit.box, 7, y, 76, 10);
  layout.Place(limit.edit, 86, y - 2, 50, 14);
  connect(limit.box, &QCheckBox::toggled, limit.edit, &QLineEdit::setEnabled);
  return limit;
}

// Both limits are checked before either is stored, so a refused OK followed by Cancel leaves
// the record as it was.
void COggEncConfigDlg::OnOk() {
  OggEncoderSettings chosen;
  if (!ReadLimit(max_.box, max_.edit, &chosen.maxBitrate)) {
    platform::ShowMessage(texts::kOggMaxNotPositive);
    return;
  }
  if (!ReadLimit(min_.box, min_.edit, &chosen.minBitrate)) {
    platform::ShowMessage(texts::kOggMinNotPositive);
    return;
  }
  settings_.ogg = chosen;
  accept();
}
