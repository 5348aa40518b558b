#include "codecs/dialogs/mp3_enc_config_dlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <iterator>

#include "codecs/dialogs/config_controls.h"
#include "platform/qt/dialog_layout.h"
#include "res/settings_texts.h"

using namespace config_controls;

namespace {

// Entries 2… of the resample list; entry 0 keeps the input rate (-1), entry 1 lets the encoder
// decide (0).
constexpr int kResampleRates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
constexpr int kFixedResampleEntries = 2;
constexpr int kVbrQualities = 10;

QStringList ResampleEntries() {
  QStringList entries{Text(texts::kMp3NoResample), Text(texts::kMp3EncoderDecides)};
  for (int rate : kResampleRates) entries << QString::number(rate);
  return entries;
}

// "0(最高)", "1" … "8", "9(最低)".
QStringList QualityEntries() {
  QStringList entries;
  for (int q = 0; q < kVbrQualities; ++q) entries << QString::number(q);
  const auto mark = [](QString& entry, const char* format) {
    entry = Text(format).replace(QLatin1String("%d"), entry);
  };
  mark(entries.front(), texts::kMp3QualityHighest);
  mark(entries.back(), texts::kMp3QualityLowest);
  return entries;
}

int ResampleEntry(int rate) {
  if (rate == -1) return 0;
  if (rate == 0) return 1;
  for (int i = 0; i < static_cast<int>(std::size(kResampleRates)); ++i)
    if (kResampleRates[i] == rate) return kFixedResampleEntries + i;
  return 0;
}

// A list without a selection keeps the field.
void StoreIndex(const QComboBox* list, std::int32_t& field) {
  if (list->currentIndex() >= 0) field = list->currentIndex();
}

void StoreCheck(const QCheckBox* box, std::int32_t& field) { field = box->isChecked() ? 1 : 0; }

}  // namespace

CMP3EncConfigDlg::CMP3EncConfigDlg(EncoderSettings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
  InitDialog(this, texts::kMp3ConfigCaption);
  CreateControls();
  ShowSettings();
}

void CMP3EncConfigDlg::CreateControls() {
  const DialogLayout layout(this, 290, 160);
  AddGroup(this, layout, texts::kMp3MethodGroup, {7, 96, 131, 56});
  resampleList_ = AddList(this, layout, 1063, texts::kMp3ResampleLabel, {7, 10, 48, 8},
                          {58, 8, 80, 14}, ResampleEntries());
  stereoList_ = AddList(this, layout, 1064, texts::kMp3StereoLabel, {7, 28, 48, 8},
                        {58, 26, 80, 14}, Texts(texts::kMp3StereoModes));
  presetList_ = AddList(this, layout, 1065, texts::kMp3PresetLabel, {7, 46, 48, 8},
                        {58, 44, 80, 14}, Texts(texts::kMp3Presets));

  const auto addBox = [&](int id, const char* text, int x, int y) {
    auto* box = Named(new QCheckBox(Text(text), this), id);
    layout.Place(box, x, y, 62, 10);
    return box;
  };
  copyrightBox_ = addBox(1054, texts::kMp3Copyright, 7, 66);
  crcBox_ = addBox(1056, texts::kMp3Crc, 76, 66);
  originalBox_ = addBox(1057, texts::kMp3Original, 7, 80);
  privateBox_ = addBox(1058, texts::kMp3Private, 76, 80);

  const char* modes[] = {texts::kMp3Cbr, texts::kMp3Vbr, texts::kMp3Abr};
  for (int i = 0; i < 3; ++i) {
    modeButtons_[i] = Named(new QRadioButton(Text(modes[i]), this), 1059 + i);
    layout.Place(modeButtons_[i], 15, 108 + 14 * i, 115, 10);
  }
  CreateVbrControls(layout);
  connect(AddOkCancel(this, layout, {178, 138}, {233, 138}), &QPushButton::clicked, this,
          &CMP3EncConfigDlg::OnOk);
}

void CMP3EncConfigDlg::CreateVbrControls(const DialogLayout& layout) {
  AddGroup(this, layout, texts::kMp3VbrGroup, {148, 4, 135, 90});
  vbrMethodList_ = AddList(this, layout, 1066, texts::kMp3VbrMethodLabel, {156, 20, 60, 8},
                           {220, 18, 56, 14}, Texts(texts::kMp3VbrMethods));
  vbrQualityList_ = AddList(this, layout, 1067, texts::kMp3VbrQualityLabel, {156, 38, 60, 8},
                            {220, 36, 56, 14}, QualityEntries());
  layout.Place(new QLabel(Text(texts::kMp3MaxVbrLabel), this), 156, 56, 62, 8);
  maxVbrEdit_ = Named(new QLineEdit(this), 1068);
  layout.Place(maxVbrEdit_, 220, 54, 56, 14);
  vbrHeaderBox_ = Named(new QCheckBox(Text(texts::kMp3WriteVbrHeader), this), 1062);
  layout.Place(vbrHeaderBox_, 156, 76, 100, 10);
}

void CMP3EncConfigDlg::ShowSettings() {
  const Mp3EncoderSettings& s = settings_.mp3;
  resampleList_->setCurrentIndex(ResampleEntry(s.resampleRate));
  SelectIndex(stereoList_, s.stereoMode);
  SelectIndex(presetList_, s.preset);
  SelectIndex(vbrMethodList_, s.vbrMethod);
  SelectIndex(vbrQualityList_, s.vbrQuality);
  if (s.encodingMode >= 0 && s.encodingMode < 3) modeButtons_[s.encodingMode]->setChecked(true);
  maxVbrEdit_->setText(QString::number(s.maxVbrBitrate));
  copyrightBox_->setChecked(s.copyrightBit != 0);
  crcBox_->setChecked(s.crcBit != 0);
  originalBox_->setChecked(s.originalBit != 0);
  privateBox_->setChecked(s.privateBit != 0);
  vbrHeaderBox_->setChecked(s.writeVbrHeader != 0);
}

void CMP3EncConfigDlg::OnOk() {
  Mp3EncoderSettings& s = settings_.mp3;
  const int resample = resampleList_->currentIndex();
  s.resampleRate = resample == 0   ? -1
                   : resample == 1 ? 0
                                   : DecimalValue(resampleList_->currentText());
  StoreIndex(stereoList_, s.stereoMode);
  StoreIndex(presetList_, s.preset);
  StoreIndex(vbrMethodList_, s.vbrMethod);
  StoreIndex(vbrQualityList_, s.vbrQuality);
  for (int mode = 0; mode < 3; ++mode)
    if (modeButtons_[mode]->isChecked()) {
      s.encodingMode = mode;
      break;
    }
  s.maxVbrBitrate = DecimalValue(maxVbrEdit_->text());
  StoreCheck(copyrightBox_, s.copyrightBit);
  StoreCheck(crcBox_, s.crcBit);
  StoreCheck(originalBox_, s.originalBit);
  StoreCheck(privateBox_, s.privateBit);
  StoreCheck(vbrHeaderBox_, s.writeVbrHeader);
  accept();
}
