#include "codecs/dialogs/ape_enc_config_dlg.h"

#include <QComboBox>
#include <QPushButton>

#include "codecs/dialogs/config_controls.h"
#include "platform/qt/dialog_layout.h"
#include "res/settings_texts.h"

using namespace config_controls;

namespace {

// Entry i stands for level (i + 1) × 1000.
constexpr int kLevelStep = 1000;

}  // namespace

CApeEncConfigDlg::CApeEncConfigDlg(EncoderSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  InitDialog(this, texts::kApeConfigCaption);
  const DialogLayout layout(this, 187, 45);
  levelList_ = AddList(this, layout, 1073, texts::kApeLevelLabel, {7, 10, 40, 8}, {50, 8, 70, 14},
                       Texts(texts::kApeLevels));
  const int level = settings_.compressionLevel;
  if (level % kLevelStep == 0) SelectIndex(levelList_, level / kLevelStep - 1);
  connect(AddOkCancel(this, layout, {130, 7}, {130, 24}), &QPushButton::clicked, this,
          &CApeEncConfigDlg::OnOk);
}

void CApeEncConfigDlg::OnOk() {
  if (levelList_->currentIndex() >= 0)
    settings_.compressionLevel = (levelList_->currentIndex() + 1) * kLevelStep;
  accept();
}
