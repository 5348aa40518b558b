#include "platform/wmf/media_type.h"

#include <cstring>
#include <limits>

namespace platform::wmf {

namespace {

constexpr WORD kWaveFormatPcm = 1;

// The WAVEFORMATEX gets cbSize = the number of extra bytes.
MediaType FromWave(const GUID& subtype, const WAVEFORMATEX& format,
                   const std::vector<BYTE>& extra) {
  WAVEFORMATEX head = format;
  head.cbSize = static_cast<WORD>(extra.size());
  std::vector<BYTE> block(sizeof head);
  std::memcpy(block.data(), &head, sizeof head);
  block.insert(block.end(), extra.begin(), extra.end());
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = subtype;
  type.bFixedSizeSamples = 1;
  type.bTemporalCompression = 0;
  type.lSampleSize = head.nBlockAlign;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = static_cast<ULONG>(block.size());
  type.pbFormat = block.data();
  MediaType result;
  result.Assign(&type);
  return result;
}

}  // namespace

MediaType MediaType::Pcm(int rate, int channels, int bits) {
  WAVEFORMATEX format{};
  format.wFormatTag = kWaveFormatPcm;
  format.nChannels = static_cast<WORD>(channels);
  format.nSamplesPerSec = static_cast<DWORD>(rate);
  format.nBlockAlign = static_cast<WORD>(channels * bits / 8);
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  format.wBitsPerSample = static_cast<WORD>(bits);
  return FromWave(WMMEDIASUBTYPE_PCM, format, {});
}

MediaType MediaType::Compressed(const WAVEFORMATEX& format, const std::vector<BYTE>& extra) {
  GUID subtype = WMMEDIASUBTYPE_PCM;
  subtype.Data1 = format.wFormatTag;
  return FromWave(subtype, format, extra);
}

const WAVEFORMATEX* MediaType::waveFormat() const {
  if (!set_ || !(type_.formattype == WMFORMAT_WaveFormatEx) ||
      format_.size() < sizeof(WAVEFORMATEX)) {
    return nullptr;
  }
  const auto* format = reinterpret_cast<const WAVEFORMATEX*>(format_.data());
  return sizeof(WAVEFORMATEX) + format->cbSize <= format_.size() ? format : nullptr;
}

HRESULT MediaType::CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const {
  if (size == nullptr) return E_POINTER;
  if (!set_) return NS_E_INVALID_REQUEST;
  const auto needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format_.size());
  if (type != nullptr) {
    if (*size < needed) return E_INSUFFICIENT_BUFFER;
    BYTE* block = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
    *type = type_;
    if (!format_.empty()) std::memcpy(block, format_.data(), format_.size());
    type->pbFormat = format_.empty() ? nullptr : block;
  }
  *size = needed;
  return S_OK;
}

HRESULT MediaType::Assign(const WM_MEDIA_TYPE* type) {
  if (type == nullptr) return E_POINTER;
  if (type->cbFormat > std::numeric_limits<WORD>::max() ||
      (type->cbFormat > 0 && type->pbFormat == nullptr)) {
    return E_INVALIDARG;
  }
  format_.assign(type->pbFormat, type->pbFormat + type->cbFormat);
  type_ = *type;
  type_.pUnk = nullptr;
  type_.pbFormat = nullptr;
  set_ = true;
  return S_OK;
}

}  // namespace platform::wmf
