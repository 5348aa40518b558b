#include "platform/wmf/wm_stream_config.h"

#include "platform/wmf/wide_text.h"

namespace platform::wmf {

HRESULT CopyName(const WCHAR* name, std::u16string* out) {
  constexpr std::size_t kMaxName = 65534;
  if (name == nullptr) return E_POINTER;
  const std::size_t length = WideLength(name, kMaxName);
  if (length > kMaxName) return E_INVALIDARG;
  return Guarded([&] {
    out->assign(name, length);
    return S_OK;
  });
}

HRESULT WMStreamConfig::SetStreamNumber(WORD number) {
  if (number < 1 || number > 63) return E_INVALIDARG;
  settings_.number = number;
  return S_OK;
}

HRESULT WMStreamConfig::SetStreamName(const WCHAR* name) { return CopyName(name, &settings_.name); }

HRESULT WMStreamConfig::SetConnectionName(const WCHAR* name) {
  return CopyName(name, &settings_.connection);
}

HRESULT WMStreamConfig::SetBitrate(DWORD bitsPerSecond) {
  settings_.bitrate = bitsPerSecond;
  return S_OK;
}

HRESULT WMStreamConfig::QueryInterface(IWMMediaProps** props) { return Answer(this, props); }

HRESULT WMStreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  return settings_.type.CopyTo(type, size);
}

HRESULT WMStreamConfig::SetMediaType(WM_MEDIA_TYPE* type) {
  return Guarded([&] { return settings_.type.Assign(type); });
}

}  // namespace platform::wmf
