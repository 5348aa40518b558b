#include "platform/wmf/wm_profile_manager.h"

#include "platform/wmf/wm_profile.h"
#include "platform/wmf/wma_format_list.h"

namespace platform::wmf {

HRESULT WMProfileManager::CreateEmptyProfile(WMT_VERSION, IWMProfile** profile) {
  if (profile == nullptr) return E_POINTER;
  return Guarded([&] {
    *profile = new WMProfile();
    return S_OK;
  });
}

HRESULT WMProfileManager::QueryInterface(IWMCodecInfo** codecInfo) {
  return Answer(this, codecInfo);
}

HRESULT WMProfileManager::GetCodecInfoCount(REFGUID type, DWORD* codecs) {
  if (codecs == nullptr) return E_POINTER;
  *codecs = type == WMMEDIATYPE_Audio ? 1 : 0;
  return S_OK;
}

HRESULT WMProfileManager::GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) {
  if (formats == nullptr) return E_POINTER;
  if (!(type == WMMEDIATYPE_Audio) || codec != 0) return E_INVALIDARG;
  return Guarded([&] {
    *formats = static_cast<DWORD>(WmaFormatList::Get().size());
    return S_OK;
  });
}

HRESULT WMProfileManager::GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                                         IWMStreamConfig** config) {
  if (config == nullptr) return E_POINTER;
  if (!(type == WMMEDIATYPE_Audio) || codec != 0) return E_INVALIDARG;
  return Guarded([&] {
    const std::vector<WmaFormat>& formats = WmaFormatList::Get();
    if (format >= formats.size()) return E_INVALIDARG;
    StreamSettings settings;
    settings.bitrate = formats[format].wave.nAvgBytesPerSec * 8;
    settings.type = WmaFormatList::TypeOf(formats[format]);
    *config = new WMStreamConfig(std::move(settings));
    return S_OK;
  });
}

}  // namespace platform::wmf
