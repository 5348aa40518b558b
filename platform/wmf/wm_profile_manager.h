// The profile manager and its codec information (the formats of WmaFormatList).
#pragma once

#include "platform/wmf/com_object.h"

namespace platform::wmf {

class WMProfileManager final : public ComObject<IWMProfileManager, IWMCodecInfo> {
 public:
  HRESULT CreateEmptyProfile(WMT_VERSION version, IWMProfile** profile) override;
  HRESULT QueryInterface(IWMCodecInfo** codecInfo) override;

  HRESULT GetCodecInfoCount(REFGUID type, DWORD* codecs) override;
  HRESULT GetCodecFormatCount(REFGUID type, DWORD codec, DWORD* formats) override;
  HRESULT GetCodecFormat(REFGUID type, DWORD codec, DWORD format,
                         IWMStreamConfig** config) override;

 private:
  ~WMProfileManager() override = default;
};

}  // namespace platform::wmf
