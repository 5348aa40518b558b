#include "platform/wmf/wm_profile.h"

namespace platform::wmf {

HRESULT WMProfile::SetName(const WCHAR* name) { return CopyName(name, &name_); }

HRESULT WMProfile::CreateNewStream(REFGUID streamType, IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  if (!(streamType == WMMEDIATYPE_Audio)) return E_INVALIDARG;
  return Guarded([&] {
    *config = new WMStreamConfig(StreamSettings{});
    return S_OK;
  });
}

HRESULT WMProfile::AddStream(IWMStreamConfig* config) {
  const auto* ours = dynamic_cast<WMStreamConfig*>(config);
  if (ours == nullptr) return E_INVALIDARG;
  if (streams_.size() >= kMaxStreams) return NS_E_INVALID_REQUEST;
  return Guarded([&] {
    streams_.push_back(ours->settings());
    return S_OK;
  });
}

}  // namespace platform::wmf
