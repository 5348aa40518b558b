// A media type with its format block, owned; the storage behind IWMMediaProps.
#pragma once

#include <vector>

#include "platform/wmf/wmf.h"

namespace platform::wmf {

class MediaType {
 public:
  // Interleaved PCM (8-bit unsigned or 16-bit signed) as WMMEDIATYPE_Audio /
  // WMMEDIASUBTYPE_PCM / WMFORMAT_WaveFormatEx.
  static MediaType Pcm(int rate, int channels, int bits);
  // A compressed audio format: subtype from the format tag, fixed-size samples of
  // nBlockAlign bytes, the WAVEFORMATEX followed by its cbSize extra bytes.
  static MediaType Compressed(const WAVEFORMATEX& format, const std::vector<BYTE>& extra);

  bool empty() const { return !set_; }
  const WM_MEDIA_TYPE& header() const { return type_; }
  // The format block as a complete WAVEFORMATEX (18 bytes and cbSize more), or null.
  const WAVEFORMATEX* waveFormat() const;
  const BYTE* extraBytes() const { return format_.data() + sizeof(WAVEFORMATEX); }

  // IWMMediaProps::GetMediaType / SetMediaType (see platform/wmf/wmf.h).
  HRESULT CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const;
  HRESULT Assign(const WM_MEDIA_TYPE* type);

 private:
  WM_MEDIA_TYPE type_{};
  std::vector<BYTE> format_;
  bool set_ = false;
};

}  // namespace platform::wmf
